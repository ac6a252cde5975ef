#pragma once
#include <QFont>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

// Bold runs of a document, joined where they touch, as the reader shows them.
inline QStringList boldRuns(const QTextDocument &doc)
{
    QStringList runs;
    QString current;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.charFormat().fontWeight() >= QFont::Bold) {
                current += f.text();
            } else if (!current.trimmed().isEmpty()) {
                runs << current.trimmed();
                current.clear();
            }
        }
        if (!current.trimmed().isEmpty())
            runs << current.trimmed();
        current.clear();
    }
    return runs;
}
inline QTextCharFormat formatAt(const QTextDocument &doc, const QString &text)
{
    QTextCursor c = doc.find(text);
    if (c.isNull())
        return {};
    c.setPosition(c.selectionStart() + 1);
    return c.charFormat();
}

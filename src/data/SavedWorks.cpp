#include "data/SavedWorks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "data/Config.h"

bool isWholePdf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.read(5) != "%PDF-")
        return false;
    const qint64 size = f.size();
    f.seek(qMax<qint64>(0, size - 1024));
    return f.read(1024).contains("%%EOF");
}

namespace SavedWorks {

namespace {
// One line per saved file: folder, saved name, stored name. A field that could break the line
// apart (a tab, a line break, any control character) is never written.
QString indexPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/saved-works.tsv");
}

bool plainField(const QString &field)
{
    for (const QChar c : field)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            return false;
    return !field.isEmpty();
}
} // namespace

void record(const QString &folder, const QString &savedName, const QString &bodyFile)
{
    if (!plainField(folder) || !plainField(savedName) || !plainField(bodyFile))
        return;   // that copy is simply not offered to the scoring window
    makePrivateFolder(QFileInfo(indexPath()).path());   // the folder the drafts live in
    QFile f(indexPath());
    if (f.open(QIODevice::Append | QIODevice::Text))
        f.write((folder + QLatin1Char('\t') + savedName + QLatin1Char('\t') + bodyFile + QLatin1Char('\n')).toUtf8());
}

QString find(const QString &folder, const QString &bodyFile)
{
    QFile f(indexPath());
    if (bodyFile.isEmpty() || !f.open(QIODevice::ReadOnly) || f.size() > 8 * 1024 * 1024)
        return {};
    // the last word on each name counts: a later download may have given it to another work
    QHash<QString, QString> byName;
    QString name;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 3 || QString::fromUtf8(parts[0]) != folder)
            continue;
        const QString saved = QString::fromUtf8(parts[1]), body = QString::fromUtf8(parts[2]);
        byName.insert(saved, body);
        if (body == bodyFile)
            name = saved;
    }
    if (name.isEmpty() || byName.value(name) != bodyFile || name.contains(QLatin1Char('/')))
        return {};
    const QString path = folder + QLatin1Char('/') + name;
    return isWholePdf(path) ? path : QString();
}

} // namespace SavedWorks

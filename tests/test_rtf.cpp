// The announcement's rich text reader: files of real word processors, its corner cases, and
// texts built to be slow to lay out.
#include <QFile>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include "TextChecks.h"
#include "widgets/RtfReader.h"

#ifndef VARDEX_SOURCE_DIR
#error VARDEX_SOURCE_DIR
#endif

class TestRtf : public QObject {
    Q_OBJECT

private slots:
    void wordProcessorFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("bold");
        const QStringList announcement{"Уважаемые эксперты!",
                                       "Проверка работ завершается 25 декабря. Комментарий обязателен для каждого "
                                       "задания ниже максимального балла.",
                                       "Вопросы — по адресу arm@vetlan.test."};
        QTest::newRow("LibreOffice") << "lo_announcement.rtf" << announcement
                                     << QStringList({"Уважаемые эксперты!", "25 декабря"});
        QTest::newRow("AbiWord") << "abi_announcement.rtf" << announcement
                                 << QStringList({"Уважаемые эксперты!", "25 декабря"});
        QTest::newRow("LibreOffice, list, table, Greek")
            << "lo_mixed.rtf"
            << QStringList({"Критерии оценивания", "Задача 3: α + β = γ, ответ «42» € ✓", "первый пункт",
                            "второй пункт", "Ελληνικά και Русский и English."})
            << QStringList({"Критерии оценивания", "α + β = γ", "второй", "7"});
    }
    void wordProcessorFiles()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, bold);
        QFile f(QStringLiteral(VARDEX_SOURCE_DIR) + "/tests/data/rtf/" + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString rtf = QString::fromLatin1(f.readAll());
        QVERIFY(Rtf::isRtf(rtf));
        QTextDocument doc;
        Rtf::load(doc, rtf);
        QStringList shown;
        for (const QString &line : doc.toPlainText().split('\n'))
            if (!line.simplified().isEmpty())
                shown << line.simplified();
        for (const QString &line : lines)
            QVERIFY2(shown.contains(line), qPrintable(line + " not in " + shown.join(" | ")));
        for (const QString &run : bold)
            QVERIFY2(boldRuns(doc).contains(run), qPrintable(run + " not in " + boldRuns(doc).join(" | ")));
        QVERIFY(!doc.toPlainText().contains("Times New Roman"));   // tables of fonts, styles, info skipped
        QVERIFY(!doc.toPlainText().contains("Normal"));
    }

    // Corner cases of the reader, one document each.
    void readerCases_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("Cyrillic font charset under ansicpg1252")
            << "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial;}}\\f0 \\'e9 \\f1 \\'e9}" << "é й";
        QTest::newRow("\\uc0 and \\uc2") << "{\\rtf1 \\uc0\\u1040 {\\uc2\\u1041 ab}c}" << "АБc";
        QTest::newRow("skipped destinations") << "{\\rtf1{\\*\\unknown x}{\\info{\\title T}}a{\\pict 0a0b}b}" << "ab";
        QTest::newRow("escaped braces and backslash") << "{\\rtf1 \\{a\\\\b\\}}" << "{a\\b}";
        QTest::newRow("unbalanced") << "{\\rtf1 abc" << "abc";
        QTest::newRow("not RTF") << "{rtf} \\b plain" << "{rtf} \\b plain";
        QTest::newRow("line and tab") << "{\\rtf1 a\\line b\\tab c\\par d}" << "a\nb\tc\nd";
        // hostile lengths: a skip never runs past the text's end, a size never overflows
        QTest::newRow("\\bin of the largest length") << "{\\rtf1 a\\bin2147483647 bc}" << "a";
        QTest::newRow("\\bin past the end") << "{\\rtf1 a\\bin5 bc}" << "a";
        QTest::newRow("\\bin too long to read") << "{\\rtf1 a\\bin99999999999999 b}" << "ab";
        QTest::newRow("huge font size and \\uc") << "{\\rtf1\\fs2147483647\\uc2147483647 a\\u1040 bc}" << "aА";
    }
    void readerCases()
    {
        QFETCH(QString, rtf);
        QFETCH(QString, text);
        QTextDocument doc;
        Rtf::load(doc, rtf);
        QCOMPARE(doc.toPlainText(), text);
    }


    // Texts built to be slow to lay out keep every character but not their cost: format changes
    // beyond a few thousand take the last format, lines are grouped a hundred to a block, and
    // no run of text goes a thousand characters without a break.
    void longTextsStayCheap()
    {
        const auto maxLine = [](const QTextDocument &doc) {
            qsizetype longest = 0;
            for (const QString &line : doc.toPlainText().split(QRegularExpression("[\n\u2028\u2029]")))
                longest = qMax(longest, line.size());
            return longest;
        };
        const auto fragments = [](const QTextDocument &doc) {
            int n = 0;
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
                for (auto it = b.begin(); !it.atEnd(); ++it)
                    ++n;
            return n;
        };
        QTextDocument doc;
        QString bold = "{\\rtf1\\ansi ";
        for (int i = 0; i < 50000; ++i)
            bold += (i % 2 ? "\\b0 x" : "\\b x");
        Rtf::load(doc, bold + "}");
        QCOMPARE(doc.toPlainText().count('x'), 50000);
        QVERIFY(fragments(doc) <= 4000 + doc.blockCount());
        QString lines = "{\\rtf1\\ansi ";
        for (int i = 0; i < 100000; ++i)
            lines += "a\\line ";
        Rtf::load(doc, lines + "}");
        QCOMPARE(doc.toPlainText().count('a'), 100000);
        QVERIFY(doc.blockCount() <= 1001);
        for (const QString &text : {QString("{\\rtf1\\ansi ") + QString(512 * 1024, 'w') + "}", QString(512 * 1024, 'w')}) {
            Rtf::load(doc, text);
            QCOMPARE(doc.toPlainText().count('w'), 512 * 1024);
            QVERIFY(maxLine(doc) <= 1000);
        }
        // a million empty lines, plain or as paragraphs: only the start is laid out, and said to be cut
        for (const QString &text : {QString(1000000, '\n'), "{\\rtf1\\ansi " + QString("\\par ").repeated(1000000) + "}"}) {
            Rtf::load(doc, text);
            QVERIFY2(doc.blockCount() <= 5002, qPrintable(QString::number(doc.blockCount())));
            QVERIFY(doc.toPlainText().endsWith(Rtf::cutNote()));
        }
    }
};

QTEST_MAIN(TestRtf)
#include "test_rtf.moc"

// The data layer's own rules, with no services, no database and no widgets: the score sheet, where
// a scan comes from, safe file names, the placeholder conversion, text helpers, stored names, the
// sort order of a list, the mail date, the settings file and the event log.
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QRegularExpression>
#include <sys/stat.h>
#include <unistd.h>

#include "data/ADataER.h"
#include "data/Background.h"
#include "data/Config.h"
#include "data/DataOperations.h"
#include "data/EventLog.h"
#include "data/DraftStore.h"
#include "data/FileNames.h"
#include "data/SavedWorks.h"
#include "data/NamedQuery.h"
#include "data/CheckedCopies.h"
#include "data/ScanMarks.h"
#include "data/ScanSource.h"
#include "data/ScoreSheet.h"
#include "data/SqlCatalogue.h"
#include "data/UploadData.h"
#include "data/VardexError.h"

#ifndef VARDEX_SOURCE_DIR
#error VARDEX_SOURCE_DIR
#endif

class TestLogic : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void decryptText()
    {
        QCOMPARE(TDataER::DEcryptText(QString(), 5), QString());
        QCOMPARE(TDataER::DEcryptText("Dee", 3), QString("Abb"));
        // wraps around 16 bits both ways
        QCOMPARE(TDataER::DEcryptText(QString(QChar(0x0002)), 5), QString(QChar(0xFFFD)));
        QCOMPARE(TDataER::DEcryptText(QString(QChar(0xFFFF)), -1), QString(QChar(0x0000)));
        QCOMPARE(TDataER::DEcryptText("Vetlan#Sorev2023", 0).size(), 16);
    }

    // The score sheet's rules without a window: the range and comment rules and which task is
    // refused first (in the sheet's order, descending id), the total, the rows and the draft.
    void scoreSheetRules_data()
    {
        QTest::addColumn<QStringList>("typed");   // per task 3, 2, 1: "score|comment"
        QTest::addColumn<QString>("refused");     // "task:rule", or "" for none
        QTest::addColumn<int>("total");
        QTest::newRow("all at maximum") << QStringList({"4|", "0|", "10|"}) << "" << 14;
        QTest::newRow("below maximum with comment") << QStringList({"3|почти", "0|", " 7 |ошибка"}) << "" << 10;
        QTest::newRow("missing comment") << QStringList({"4|", "0|", "9|"}) << "1:comment" << 13;
        QTest::newRow("range before comment, highest id first") << QStringList({"3|", "0|", "11|"}) << "3:comment" << 3;
        QTest::newRow("out of range") << QStringList({"4|", "1|", "9|нет"}) << "2:range" << 13;
        QTest::newRow("not a number") << QStringList({"4|", "0|", "abc|"}) << "1:range" << 4;
        QTest::newRow("empty") << QStringList({"|", "0|", "10|"}) << "3:range" << 10;
        QTest::newRow("negative") << QStringList({"-1|x", "0|", "10|"}) << "3:range" << 10;
    }
    void scoreSheetRules()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, refused);
        QFETCH(int, total);
        // task 2 has no points to give (a negative maximum counts as none)
        ScoreSheet sheet({{3, 4, "З3"}, {2, -1, "З2"}, {1, 10, "З1"}});
        for (int i = 0; i < 3; ++i) {
            sheet.setScore(3 - i, typed[i].section('|', 0, 0));
            sheet.setComment(3 - i, typed[i].section('|', 1));
        }
        const auto refusal = sheet.firstRefusal();
        QCOMPARE(refusal ? QString("%1:%2").arg(refusal->task).arg(refusal->rule == ScoreSheet::Rule::Range ? "range" : "comment")
                         : QString(), refused);
        QCOMPARE(sheet.total(), total);
        QCOMPARE(sheet.maximum(), 14);
    }

    // Where a scan comes from, without a window: the saved copy while it is whole, else the cached
    // one while it is whole, else the file server.
    void scanSourceRule()
    {
        const QString folder = TDataER::downloadFolder("Дисциплина проверки");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QDir().mkpath(ScanSource::cacheFolder()));
        const auto cleanup = qScopeGuard([&] { QDir(folder).removeRecursively(); QFile::remove(ScanSource::cachePath("W1.pdf")); });
        const auto write = [](const QString &path, const QByteArray &body) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(body);
        };
        const QByteArray whole = "%PDF-1.4\n...\n%%EOF\n", cut = "%PDF-1.4\n...";
        write(folder + "/Иванов.pdf", whole);
        write(ScanSource::cachePath("W1.pdf"), whole);
        SavedWorks::record(folder, "Иванов.pdf", "W1.pdf");
        const WorkScan work{1, "W1.pdf", "Дисциплина проверки"};
        ScanSource::Source source;
        QCOMPARE(ScanSource::onDisk(work, &source), folder + "/Иванов.pdf");
        QCOMPARE(source, ScanSource::Source::Local);
        write(folder + "/Иванов.pdf", cut);
        QCOMPARE(ScanSource::onDisk(work, &source), ScanSource::cachePath("W1.pdf"));
        QCOMPARE(source, ScanSource::Source::Cache);
        write(ScanSource::cachePath("W1.pdf"), cut);
        QCOMPARE(ScanSource::onDisk(work, &source), QString());
        QCOMPARE(source, ScanSource::Source::Server);
    }

    void scoreSheetRowsAndDraft()
    {
        ScoreSheet sheet({{2, 5, "З2"}, {1, 3, "З1"}});
        QVERIFY(!sheet.wantsComment(1));   // a fresh sheet asks for nothing yet
        sheet.setScore(1, "2");
        QVERIFY(sheet.wantsComment(1));
        sheet.setComment(1, "нет вывода");
        QVERIFY(!sheet.wantsComment(1));
        sheet.setScore(2, "5");
        const QList<TaskScore> rows = sheet.rows();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].task, 2);
        QCOMPARE(rows[0].score, 5);
        QVERIFY(!rows[0].comment.isNull());   // stored as '', as the box gives it, never NULL
        QCOMPARE(rows[1].comment, QString("нет вывода"));
        // the draft round trip: cut to what the boxes take, unknown tasks left out
        ScoreSheet back({{2, 5, "З2"}, {1, 3, "З1"}});
        QList<DraftTask> kept = sheet.draftTasks();
        kept << DraftTask{9, "1", "чужое"};
        kept[1].comment = QString(600, QChar(u'ж'));
        kept[0].score = QString(40, QChar(u'7'));
        back.fill(kept, 500);
        QCOMPARE(back.comment(1).size(), 500);
        QCOMPARE(back.scoreText(2).size(), 16);
        QCOMPARE(back.scoreText(9), QString());
        QVERIFY(back.wantsComment(1) == false && back.firstRefusal()->rule == ScoreSheet::Rule::Range);
    }

    // Marks on a scan go into the drafts file with the sheet and come back as they were; a damaged
    // or foreign list is read within bounds; a mark is found under the pointer, the top one first.
    void scanMarks()
    {
        const QList<ScanMark> marks{{ScanMark::Kind::Tick, 0, {100, 200}, {}, {}},
                                    {ScanMark::Kind::Cross, 1, {50.25, 60.5}, {}, {}},
                                    {ScanMark::Kind::Note, 1, {40, 300}, "нет единиц измерения", {}},
                                    {ScanMark::Kind::Pen, 0, {10, 10}, {}, {{10, 10}, {60, 10}, {60, 80}}}};
        QTemporaryDir dir;
        {
            DraftStore store(dir.filePath("drafts.sqlite"));
            store.save({7, 1, 2, QDateTime::currentDateTimeUtc(), {{1, "3", ""}}, marks});
        }
        {
            DraftStore store(dir.filePath("drafts.sqlite"));
            QCOMPARE(store.load(7, 1, 2)->marks, marks);
            store.save({7, 1, 2, QDateTime::currentDateTimeUtc(), {{1, "3", ""}}, {}});
            QVERIFY(store.load(7, 1, 2)->marks.isEmpty());
            store.save({7, 1, 2, QDateTime::currentDateTimeUtc(), {}, marks});
            store.remove(7, 1);
            QVERIFY(!store.load(7, 1, 2));
        }

        const QList<QSizeF> a4{{595, 842}, {595, 842}};
        QString hostile = "[";
        for (int i = 0; i < 2 * ScanMarks::kMaxMarks; ++i)
            hostile += R"({"kind":"tick","page":0,"at":[1,2]},)";
        hostile += R"({"kind":"pen","page":0,"at":[1,1],"line":[[1,1]]}])";
        QCOMPARE(ScanMarks::fromJson(hostile.toUtf8(), a4).size(), ScanMarks::kMaxMarks);
        const QByteArray odd = R"([{"kind":"tick","page":5,"at":[1,2]}, {"kind":"tick","page":0,"at":[1e300,2]},
            {"kind":"stamp","page":0,"at":[1,2]}, {"kind":"note","page":1,"at":[1,2],"text":"   "},
            {"kind":"cross","page":-1,"at":[1,2]}, {"kind":"tick","page":0.5,"at":[1,2]}, "x", 7,
            {"kind":"pen","page":0,"at":[1,1],"line":[[1,1],[9e9,1],[2,2]]}])";
        const QList<ScanMark> kept = ScanMarks::fromJson(odd, a4);
        QCOMPARE(kept.size(), 1);   // the pen line, without its point off the page
        QCOMPARE(kept[0].line, (QList<QPointF>{{1, 1}, {2, 2}}));
        QCOMPARE(ScanMarks::fromJson("{not json", a4).size(), 0);
        QCOMPARE(ScanMarks::fromJson(ScanMarks::toJson({{ScanMark::Kind::Note, 0, {5, 5}, QString(1000, 'n'), {}}}))[0].text.size(),
                 ScanMarks::kMaxNoteLength);

        QCOMPARE(ScanMarks::markAt(marks, 0, {104, 203}, 2), 0);
        QCOMPARE(ScanMarks::markAt(marks, 1, {104, 203}, 2), -1);
        QCOMPARE(ScanMarks::markAt(marks, 0, {60, 40}, 2), 3);   // on the pen line's second stroke
        QCOMPARE(ScanMarks::markAt(marks, 0, {30, 40}, 2), -1);
        QCOMPARE(ScanMarks::markAt(marks, 1, {60, 296}, 2), 2);
    }

    // The checked copy's page of scores: tasks as the sheet shows them (the first task first), each
    // with "N из M" and its comment, then the total; a task left empty counts 0.
    void checkedCopyScorePage()
    {
        ScoreSheet sheet({{3, 10, "Задание 3"}, {2, 7, "Задание 2"}, {1, 5, "Задание 1"}});
        sheet.setScore(1, "5");
        sheet.setScore(2, "4");
        sheet.setComment(2, "нет проверки");
        QStringList lines;
        for (const CheckedCopies::Line &l : CheckedCopies::scorePage("Математика 9 класс", 1001, "9", sheet))
            lines << (l.bold ? "*" : "") + l.text;
        // the participant reads it: the discipline, the work's code and the class once each
        QCOMPARE(lines, QStringList({"*Математика 9 класс", "Код работы: 1001", "Класс: 9", "", "Задание 1: 5 из 5",
                                     "Задание 2: 4 из 7", "    нет проверки", "Задание 3: 0 из 10", "", "*Итого: 9 из 22"}));
    }

    void ucfirst_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("double name") << "иванов-петров" << "Иванов-Петров";
        QTest::newRow("blanks around") << "  анна \t" << "Анна";
        QTest::newRow("latin upper") << "PETROV" << "Petrov";
        QTest::newRow("cyrillic upper stays") << "ИВАНОВ" << "ИВАНОВ";
        QTest::newRow("trailing hyphen") << "анна-" << "Анна-";
        QTest::newRow("only first hyphen") << "a-b-c" << "A-B-c";
        QTest::newRow("control chars") << "\x01ivan\x02" << "Ivan";
        QTest::newRow("yo") << "ёлкин" << "Ёлкин";
    }
    void ucfirst()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(TDataER::my_ucfirst(in), out);
    }

    void directoryCreate()
    {
        const QString dir = QCoreApplication::applicationDirPath();
        const QString name = "vardex-test-folder";
        QDir(dir).rmdir(name);
        QVERIFY(TDataER::DirectoryCreate(name));        // new
        QVERIFY(QFileInfo(dir + "/" + name).isDir());
        QVERIFY(TDataER::DirectoryCreate(name));        // exists
        QDir(dir).rmdir(name);
        try {
            TDataER::DirectoryCreate("no-such-parent/child");   // one folder only, not a chain
            QFAIL("no error raised");
        } catch (const VardexError &e) {
            QCOMPARE(e.message(), "Невозможно создать папку " + dir + QDir::separator() + "no-such-parent/child");
        }
    }

    // The maker's name places the program's files; what an earlier version kept under the bare
    // program name (drafts above all) is moved there, once.
    void identityMovesEarlierFiles()
    {
        QTemporaryDir home;
        QStandardPaths::setTestModeEnabled(false);
        for (const char *kind : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            qputenv(kind, (home.path() + "/" + kind).toUtf8());
        const auto restore = qScopeGuard([] {
            QStandardPaths::setTestModeEnabled(true);
            for (const char *kind : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
                qunsetenv(kind);
            QCoreApplication::setOrganizationName(QString());
            QCoreApplication::setApplicationName("test_logic");
        });
        const QString data = home.path() + "/XDG_DATA_HOME", config = home.path() + "/XDG_CONFIG_HOME";
        QVERIFY(QDir().mkpath(data + "/Vardex") && QDir().mkpath(config + "/Unknown Organization"));
        for (const QString &path : {data + "/Vardex/drafts.sqlite", config + "/Unknown Organization/Vardex.conf"}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("kept");
        }
        setApplicationIdentity();
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation), data + "/Vetlan/Vardex");
        QCOMPARE(QSettings().fileName(), config + "/Vetlan/Vardex.conf");
        QFile moved(data + "/Vetlan/Vardex/drafts.sqlite");
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), QByteArray("kept"));
        QVERIFY(!QFile::exists(data + "/Vardex/drafts.sqlite"));
        QVERIFY(QFile::exists(config + "/Vetlan/Vardex.conf"));
    }

    // The log, the drafts and their folders are their user's alone, whatever the umask.
    void privateFiles()
    {
        const mode_t before = umask(022);
        const auto restore = qScopeGuard([before] { umask(before); });
        const auto mode = [](const QString &path) {
            struct stat st {};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
        };
        QFile::remove(EventLog::path());
        QDir(QFileInfo(EventLog::path()).path()).removeRecursively();
        EventLog::write("test", "a line");
        QCOMPARE(mode(EventLog::path()), 0600);
        QCOMPARE(mode(QFileInfo(EventLog::path()).path()), 0700);
        QTemporaryDir dir;
        const QString drafts = dir.filePath("private/drafts.sqlite");
        {
            DraftStore store(drafts);
            store.save({1, 2, 3, QDateTime::currentDateTimeUtc(), {{4, "5", "six"}}});
        }
        QCOMPARE(mode(drafts), 0600);
        QCOMPARE(mode(dir.filePath("private")), 0700);
        for (const char *journal : {"-wal", "-shm"})
            if (QFile::exists(drafts + journal))
                QCOMPARE(mode(drafts + journal), 0600);

        // links planted under the private files' names: their targets keep their contents and mode
        QFile target(dir.filePath("target"));
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("someone else's");
        target.close();
        QFile::setPermissions(target.fileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        const QString linked = dir.filePath("private/linked.sqlite");
        QVERIFY(QFile::link(target.fileName(), linked));
        {
            DraftStore store(linked);
            QVERIFY(!store.openFailure().isEmpty());
        }
        const QString dangling = dir.filePath("private/dangling.sqlite");
        QVERIFY(QFile::link(dir.filePath("nowhere.sqlite"), dangling));
        {
            DraftStore store(dangling);
            QVERIFY(!store.openFailure().isEmpty());
        }
        QVERIFY(!QFile::exists(dir.filePath("nowhere.sqlite")));
        makePrivateFile(linked);
        QCOMPARE(mode(target.fileName()), 0644);
        QVERIFY(target.open(QIODevice::ReadOnly));
        QCOMPARE(target.readAll(), QByteArray("someone else's"));
    }

    // Marks read from a drafts file someone else wrote: bounded in points and size, finite, and
    // a text far beyond ours is not parsed at all.
    void hostileMarks()
    {
        const QList<QSizeF> a4{{595, 842}};
        QByteArray many = "[";
        for (int i = 0; i < 20; ++i) {   // twice the points a work may hold
            many += R"({"kind":"pen","page":0,"at":[1,1],"line":[)";
            for (int j = 0; j < ScanMarks::kMaxLinePoints - 1; ++j)
                many += "[1,1],";
            many += "[2,2]]},";
        }
        many += R"({"kind":"tick","page":0,"at":[1,2]}])";
        QList<ScanMark> kept = ScanMarks::fromJson(many);
        QCOMPARE(ScanMarks::penPoints(kept), ScanMarks::kMaxTotalPoints);
        QCOMPARE(kept.last().kind, ScanMark::Kind::Tick);
        QByteArray huge = "[";
        while (huge.size() <= ScanMarks::kMaxJsonBytes)
            huge += R"({"kind":"tick","page":0,"at":[1,2]},)";
        huge += R"({"kind":"tick","page":0,"at":[1,2]}])";
        QVERIFY(ScanMarks::fromJson(huge).isEmpty());   // over the size: not read
        // coordinates beyond any page, with or without the page sizes
        const QByteArray far = R"([{"kind":"tick","page":0,"at":[1e300,2]},{"kind":"tick","page":0,"at":[2e6,2]},
            {"kind":"tick","page":0,"at":[-1e-300,2]},{"kind":"pen","page":0,"at":[1,1],"line":[[1,1],[1e308,1],[2,2]]}])";
        kept = ScanMarks::fromJson(far);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept[0].line, (QList<QPointF>{{1, 1}, {2, 2}}));
        QCOMPARE(ScanMarks::fromJson(far, a4).size(), 1);
        // and from the drafts file: a hostile text stays unread, the sheet still comes back
        QTemporaryDir dir;
        DraftStore store(dir.filePath("drafts.sqlite"));
        store.save({7, 1, 2, QDateTime::currentDateTimeUtc(), {{1, "3", ""}}, {{ScanMark::Kind::Tick, 0, {1, 2}, {}, {}}}});
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "hostile");
        db.setDatabaseName(dir.filePath("drafts.sqlite"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.prepare("UPDATE marks SET json = ?"));
        q.addBindValue(QString::fromUtf8(huge));
        QVERIFY(q.exec());
        db.close();
        const std::optional<Draft> draft = store.load(7, 1, 2);
        QVERIFY(draft);
        QCOMPARE(draft->tasks.size(), 1);
        QVERIFY(draft->marks.isEmpty());
    }

    // A character set's name from the server goes into a statement's text only when it is a name.
    void characterSetNames_data()
    {
        QTest::addColumn<QString>("charset");
        QTest::addColumn<bool>("used");
        QTest::newRow("cp1251") << "cp1251" << true;
        QTest::newRow("latin1_x") << "Latin1_x" << true;
        QTest::newRow("injected") << "latin1 USING utf8mb4) AS `back`, (SELECT `password` FROM `zet_users` LIMIT 1" << false;
        QTest::newRow("trailing line break") << "latin1\n" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("quote") << "cp1251'" << false;
    }
    void characterSetNames()
    {
        QFETCH(QString, charset);
        QFETCH(bool, used);
        const QStringList sql = RuntimeSql::convertThrough("'x'", charset);
        QCOMPARE(!sql.isEmpty(), used);
        if (used)
            QCOMPARE(sql.join(' '), "SELECT CONVERT(CONVERT('x' USING utf8mb4) USING " + charset + ") AS `back`");
    }

    // File names made from stored names and participants' names stay under the file system's
    // 255 bytes, whatever their characters, and stay apart.
    void namesCappedByBytes()
    {
        const QString wide(80, QChar(0x2260));   // three bytes each in UTF-8
        QVERIFY(safeFileName(wide).toUtf8().size() <= kMaxSafeNameBytes);
        QCOMPARE(capUtf8(QString("ab") + QString::fromUcs4(U"\U0001F600"), 5), QString("ab"));   // never half an emoji
        const QString a = QFileInfo(ScanSource::cachePath(wide + "a.pdf")).fileName();
        const QString b = QFileInfo(ScanSource::cachePath(wide + "b.pdf")).fileName();
        QVERIFY(a.toUtf8().size() <= 255);
        QVERIFY(a != b);
        // the download window's longest name: a participant's name, " (n)", ".pdf", a transfer's suffix
        QVERIFY((safeFileName(wide + wide) + " (99).pdf" + ".abcdefghijklm.part").toUtf8().size() <= 255);
    }

    // A stored name with a line break or a tab cannot write forged lines into the saved-works index.
    void savedWorksIndexTakesNoControlCharacters()
    {
        QTemporaryDir dir;
        QFile pdf(dir.filePath("x.pdf"));
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.write("%PDF-1.4\n%%EOF\n");
        pdf.close();
        SavedWorks::record(dir.path(), "x.pdf", "evil\n" + dir.path() + "\tx.pdf\tforged.pdf");
        QCOMPARE(SavedWorks::find(dir.path(), "forged.pdf"), QString());
        SavedWorks::record(dir.path(), "x.pdf", "MA9_1_2_1001.pdf");
        QCOMPARE(SavedWorks::find(dir.path(), "MA9_1_2_1001.pdf"), dir.filePath("x.pdf"));
    }

    void placeholders()
    {
        const auto p = NamedQuery::prepareText(
            "UPDATE t SET `answerСlaim`=:answerСlaim, x=':notme', `a:b`=1, y=\"\\\":no\" WHERE `id`=:id");
        QCOMPARE(p.names, QStringList({"answerСlaim", "id"}));
        QCOMPARE(p.text, QString("UPDATE t SET `answerСlaim`=?, x=':notme', `a:b`=1, y=\"\\\":no\" WHERE `id`=?"));
    }

    void safeNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Иванов Иван" << "Иванов Иван";
        QTest::newRow("folders and parent") << "../../etc/passwd" << "_.._etc_passwd";
        QTest::newRow("reserved characters") << "a\\b:c*d?e\"f<g>h|i" << "a_b_c_d_e_f_g_h_i";
        QTest::newRow("control characters, blanks") << "  x\ty\n " << "x_y";
        QTest::newRow("leading dots") << "..hidden" << "hidden";
        QTest::newRow("nothing left") << " .. " << "_";
    }
    void safeNames()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QCOMPARE(safeFileName(text), name);
    }

    // RTF files saved by word processors: the text and its bold runs.
    // The Date: header whatever the locale: English names, a numeric zone.
    void dateHeader()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        const QDateTime moscow(QDate(2026, 12, 10), QTime(19, 7, 5), QTimeZone(3 * 3600));
        const QDateTime west(QDate(2026, 6, 1), QTime(8, 0), QTimeZone(-(9 * 3600 + 30 * 60)));
        QCOMPARE(TDataER::mailDate(moscow), QString("Thu, 10 Dec 2026 19:07:05 +0300"));
        QCOMPARE(TDataER::mailDate(west), QString("Mon, 01 Jun 2026 08:00:00 -0930"));
        QCOMPARE(TDataER::mailDate(QDateTime(QDate(2026, 1, 2), QTime(3, 4), Qt::UTC)), QString("Fri, 02 Jan 2026 03:04:00 +0000"));
        QLocale::setDefault(before);
    }

    // compiled in < settings file < environment; a bad value names its file and key or variable
    void settings()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("vardex.conf");
        auto write = [&](const QByteArray &text) {
            QFile f(file);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(text);
        };
        write("[database]\nhost=db.centre.lan\nport=3307\n[files]\nurl=https://files.centre.lan/\n[mail]\nhost=smtp.centre.lan\n");
        QProcessEnvironment env;
        Config c = Config::load(file, env);
        QCOMPARE(c.dbHost, QString("db.centre.lan"));
        QCOMPARE(c.dbPort, 3307);
        QCOMPARE(c.filesUrl, QString("https://files.centre.lan/"));
        QCOMPARE(c.smtpHost, QString("smtp.centre.lan"));
        QCOMPARE(c.dbIntranetPort, Config::load(QString(), env).dbIntranetPort);   // not in the file: compiled in
        QVERIFY(!c.dbPasswordOverridden);
        env.insert("VARDEX_DB_PORT", "4000");
        env.insert("VARDEX_DB_PASSWORD", "");
        c = Config::load(file, env);
        QCOMPARE(c.dbPort, 4000);
        QVERIFY(c.dbPasswordOverridden);
        QCOMPARE(Config::load(dir.filePath("missing.conf"), {}).dbHost, Config::load(QString(), {}).dbHost);

        const auto failure = [](const QString &path, const QProcessEnvironment &e) {
            try {
                Config::load(path, e);
            } catch (const VardexError &error) {
                return error.message();
            }
            return QString();
        };
        write("[database]\nport=abc\n");
        QCOMPARE(failure(file, {}), "Неверная настройка в файле настроек " + file
                                        + ", ключ database/port: значение \"abc\", ожидается номер порта от 1 до 65535.");
        write("[files]\nurl=files.centre.lan\n");
        QVERIFY(failure(file, {}).contains("ключ files/url: значение \"files.centre.lan\""));
        QProcessEnvironment bad;
        bad.insert("VARDEX_SITE_URL", "ftp://vetlan.test/");
        QVERIFY(failure(QString(), bad).startsWith("Неверная настройка в переменной окружения VARDEX_SITE_URL: значение \"ftp://vetlan.test/\""));
        bad.insert("VARDEX_SITE_URL", "https://vetlan.test/");
        bad.insert("VARDEX_SMTP_PORT", "70000");
        QVERIFY(failure(QString(), bad).contains("VARDEX_SMTP_PORT"));
    }

    // The settings file is read as written: passwords byte for byte, a value that does not parse
    // whole refused with its file and key, only a regular file read, loose rights on a file with
    // a password said.
    void settingsFileAsWritten()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("vardex.conf");
        auto write = [&](const QByteArray &text, QFile::Permissions rights = QFile::ReadOwner | QFile::WriteOwner) {
            QFile f(file);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(text);
            f.close();
            QFile::setPermissions(file, rights);
        };
        const auto failure = [&] {
            try {
                Config::load(file, {});
            } catch (const VardexError &error) {
                return error.message();
            }
            return QString();
        };
        const QList<QPair<QByteArray, QString>> passwords{
            {"pa,ss", "pa,ss"}, {"pa;ss", "pa;ss"}, {"back\\sla\\sh", "back\\sla\\sh"},
            {"\" spaced \"", " spaced "}, {"\"q\\\"uo\\\\te\"", "q\"uo\\te"}, {"=eq=", "=eq="}};
        for (const auto &[written, meant] : passwords) {
            write("[database]\r\npassword=" + written + "\r\n");
            QCOMPARE(Config::load(file, {}).dbPasswordPlain, meant);
        }
        write("[database]\nhost=a,b\n");
        QCOMPARE(failure(), "Неверная настройка в файле настроек " + file
                                + ", ключ database/host: значение \"a,b\", ожидается одно имя сервера или его IP-адрес.");
        for (const char *url : {"https://files.centre.lan/?x=1", "https://files.centre.lan/#top", "https://u:p@files.centre.lan/"}) {
            write(QByteArray("[files]\nurl=") + url + "\n");
            QVERIFY2(failure().contains("ключ files/url"), url);
        }
        write("[database]\npassword=\"open\n");
        QVERIFY(failure().startsWith("Неверная строка 2 в файле настроек " + file));
        // a password others may change: said, the start goes on
        write("[database]\npassword=x\n", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
        QCOMPARE(Config::load(file, {}).warnings.size(), 1);
        write("[database]\npassword=x\n", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QVERIFY(Config::load(file, {}).warnings.isEmpty());
        // the example the package ships reads as it says
        QCOMPARE(Config::load(QStringLiteral(VARDEX_SOURCE_DIR) + "/packaging/vardex.conf.example", {}).dbHost,
                 QString("db.vetlan.example"));
        // a FIFO is never opened (it would hold the start for ever)
        const QString fifo = dir.filePath("fifo.conf");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        try {
            Config::load(fifo, {});
            QFAIL("a FIFO was taken for a settings file");
        } catch (const VardexError &e) {
            QCOMPARE(e.message(), "Файл настроек " + fifo + " не является обычным файлом.");
        }
    }

    // A settings file its user may not read says so, naming it (run as an unprivileged user by
    // test_logic_unprivileged; root reads every file).
    void settingsFileWithoutReadPermission()
    {
        if (geteuid() == 0)
            QSKIP("root reads any file: run as another user");
        QTemporaryDir dir;
        const QString file = dir.filePath("vardex.conf");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[database]\nhost=db.centre.lan\n");
        f.close();
        QVERIFY(f.setPermissions(QFile::WriteOwner));
        try {
            Config::load(file, {});
            QFAIL("a file that cannot be read was taken for settings");
        } catch (const VardexError &e) {
            QCOMPARE(e.message(), "Файл настроек " + file + " нельзя прочитать: нет прав на чтение этого файла. "
                                  "Попросите администратора разрешить всем его чтение (chmod 644).");
        }
    }

    void trim()
    {
        QCOMPARE(TDataER::Trim(QString("\t\x01 a b \n\x1f")), QString("a b"));
        QCOMPARE(TDataER::Trim(QString(QChar(0x00A0)) + "x"), QString(QChar(0x00A0)) + "x");   // only codes 32 and below
        QCOMPARE(TDataER::Trim("   "), QString());
    }

    void plainLogins_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<bool>("plain");
        QTest::newRow("address") << "expert@vetlan.test" << true;
        QTest::newRow("Cyrillic domain") << "эксперт@ветлан.рф" << true;
        QTest::newRow("right-to-left mark") << QString("a@b.c") + QChar(0x200F) << false;
        QTest::newRow("zero-width space") << QString("a@b") + QChar(0x200B) + ".c" << false;
        QTest::newRow("line separator") << QString("a@b.c") + QChar(0x2028) << false;
        QTest::newRow("tab") << "a@b.c\t" << false;
    }
    void plainLogins()
    {
        QFETCH(QString, login);
        QFETCH(bool, plain);
        QCOMPARE(TDataER::isPlainLogin(login), plain);
    }

    void storedNamesAndNumbers()
    {
        QCOMPARE(nextStoredName("MA11_2_2_1003_9.pdf"), QString("MA11_2_2_1003_10.pdf"));
        QCOMPARE(nextStoredName("broken"), QString());
        for (const char *bad : {"0", "-3", "12a", "99999999999", "", " "})
            QVERIFY2(!UploadData::isParticipantNumber(bad), bad);
        QVERIFY(UploadData::isParticipantNumber("1003"));
    }

    // A title click's order: numbers as numbers, texts as a Russian reader orders them (digits by
    // value, letter case aside), empty values first, ties in the order they came.
    void sortOrder_data()
    {
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("numbers") << QVariantList{10, 9, QVariant(), 2.5, -1} << QList<int>{2, 4, 3, 1, 0};
        QTest::newRow("digits inside texts") << QVariantList{"11", "9", "9", "10а", "9"} << QList<int>{1, 2, 4, 3, 0};
        QTest::newRow("Russian letters") << QVariantList{"ёж", "Яблоко", "арбуз", "Ель", "бук"} << QList<int>{2, 4, 0, 3, 1};
        QTest::newRow("empty first, ties kept") << QVariantList{"б", QVariant(), "А", "а", QVariant(QMetaType(QMetaType::QString))}
                                                << QList<int>{1, 4, 2, 3, 0};
    }
    void sortOrder()
    {
        QFETCH(QVariantList, values);
        QFETCH(QList<int>, order);
        QList<int> got;
        for (size_t i : NamedQuery::sortOrder(values))
            got << int(i);
        QCOMPARE(got, order);
    }

    // One line per event, secrets blanked, rotated at 1 MiB into three files at most.
    void eventLog()
    {
        QDir(QFileInfo(EventLog::path()).path()).removeRecursively();
        EventLog::write("Авторизация", "Invalid hash string $2a$10$abcdefghijklmnopqrstuvABCDEFGHIJKLMNOPQRSTUVWXYZ01234\nsecond line");
        QFile f(EventLog::path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList fields = QString::fromUtf8(f.readAll()).trimmed().split('\t');
        QCOMPARE(fields.size(), 3);
        QCOMPARE(fields[1], QString("Авторизация"));
        QCOMPARE(fields[2], QString("Invalid hash string [hash] second line"));
        f.close();
        const QString filler(1000, 'x');
        for (int i = 0; i < 3500; ++i)
            EventLog::write("fill", filler);
        QVERIFY(QFileInfo(EventLog::path()).size() <= EventLog::kMaxBytes + 2000);
        QVERIFY(QFile::exists(EventLog::path() + ".1"));
        QVERIFY(QFile::exists(EventLog::path() + ".2"));
        QVERIFY(!QFile::exists(EventLog::path() + ".3"));
    }

    // Work off the thread with something done meanwhile on this one: both run, at the same time,
    // and whichever finishes first, the call returns after both; a failure of either comes back.
    void backgroundWithMeanwhile()
    {
        for (int workMs : {0, 60}) {
            QThread *mainThread = QThread::currentThread();
            QThread *meanwhileThread = nullptr;
            std::atomic<bool> workDone{false};
            bool overlapped = false;
            runInBackground([&] { QThread::msleep(workMs); workDone = true; },
                            [&] { meanwhileThread = QThread::currentThread(); QThread::msleep(40); overlapped = !workDone; });
            QVERIFY(workDone);
            QCOMPARE(meanwhileThread, mainThread);
            if (workMs > 0)
                QVERIFY(overlapped);   // not one after the other
        }
        QVERIFY_THROWS_EXCEPTION(VardexError, runInBackground([] {}, [] { throw VardexError("meanwhile"); }));
        QVERIFY_THROWS_EXCEPTION(VardexError, runInBackground([] { throw VardexError("work"); }, [] {}));
    }
};

QTEST_GUILESS_MAIN(TestLogic)
#include "test_logic.moc"

// Works on the file server with real widgets (offscreen), the real database and the real file
// server: downloading unchecked works, uploading and deleting checked ones.
#include <QCheckBox>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QProcess>
#include <QSignalSpy>
#include <QPushButton>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QtTest>
#include <sys/stat.h>

#include "Session.h"
#include "TestFixture.h"
#include "app/UnitMainER.h"
#include "data/ADataER.h"
#include "data/DownloadEngine.h"
#include "data/CheckedCopies.h"
#include "data/Config.h"
#include "data/DataOperations.h"
#include "data/FileServer.h"
#include "evaluation/UploadWindow.h"
#include "evaluation/UnitWorkLoadOriginal.h"

namespace {

QString downloadDir(const QString &discipline)
{
    return TDataER::downloadFolder(discipline);
}

QByteArray bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString serverFile(const QString &folder, const QString &name) { return Fixture::filesRoot() + "/" + folder + "/" + name; }

// A scan of the given size (sparse beyond its first bytes).
QString makeScan(const QTemporaryDir &dir, const QString &name, qint64 size = 0)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("%PDF-1.4 checked scan " + name.toUtf8());
    if (size > 0)
        f.resize(size);
    return path;
}

// What the file server answers to a GET: status and body.
QPair<int, QByteArray> httpGet(const QString &path)
{
    QProcess curl;
    curl.start("curl", {"-s", "-w", "\n%{http_code}", Config::get().filesUrl + path});
    curl.waitForFinished(30000);
    QByteArray out = curl.readAllStandardOutput();
    const qsizetype cut = out.lastIndexOf('\n');
    return {out.mid(cut + 1).toInt(), out.left(cut)};
}

// "" when the server took it, else what it answered
QString uploadAs(const QString &path, const QString &storedName)
{
    try {
        FileServer::post("hostUploadCheckWork.php",
                         {{"attach", {}, path, QFileInfo(path).fileName(), "application/pdf"}, {"newNameFile", storedName, {}, {}, {}}});
    } catch (const FileServer::Failure &f) {
        return f.message();
    }
    return {};
}

QStringList uploads()
{
    return Fixture::rows("SELECT `user_id`, `areas_id`, `educationList_id`, `period_id`, `bodyFile` FROM `zet_testedwork` ORDER BY `id`");
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        Fixture::loadDemo();
        for (const char *d : {"Математика 9 класс", "Математика 11 класс"})
            QDir(downloadDir(QString::fromUtf8(d))).removeRecursively();
        QDir(Fixture::filesRoot() + "/testedwork").removeRecursively();
        QDir().mkpath(Fixture::filesRoot() + "/testedwork");
    }

    void downloadAllAndSelected()
    {
        Session s;
        s.window.item("N6")->trigger();
        TFormWorkLoadOriginal *form = FormWorkLoadOriginal;
        QVERIFY(form);
        choose(form->DBLookupComboBox1, "Математика 9 класс");
        QCOMPARE(form->DBGrid1->query()->recordCount(), 3);
        form->BitBtn3->click();
        QTRY_COMPARE_WITH_TIMEOUT(s.platform.texts("information").size(), 1, 20000);
        const QString folder = downloadDir("Математика 9 класс");
        QCOMPARE(s.platform.texts("information")[0],
                 "Скачивание файлов завершено.\n\rФайлы сохранены в папке:\n\r" + folder);
        QCOMPARE(s.platform.urls, QStringList(QUrl::fromLocalFile(folder).toString()));
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 QStringList({"Иванов Иван Иванович.pdf", "Кузнецова Анна Петровна.pdf", "Морозов Кирилл Денисович.pdf"}));
        QCOMPARE(bytes(folder + "/Кузнецова Анна Петровна.pdf"), bytes(serverFile("untestedwork", "MA9_1_2_1002.pdf")));
        // the bars are blank at rest: no "0 / 100" or "0%"
        QCOMPARE(form->ProgressBar2->text(), QString());
        QVERIFY(form->ProgressBar1->value() < form->ProgressBar1->minimum());

        // selected rows only; nothing selected makes the folder and says so
        QDir(folder).removeRecursively();
        form->DBGrid1->clearSelection();
        form->BitBtn2->click();
        QCOMPARE(s.platform.texts("information").last(), QString("Нет выбранных файлов для скачивания"));
        QVERIFY(QFileInfo(folder).isDir());
        form->DBGrid1->selectionModel()->select(form->DBGrid1->model()->index(2, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        form->BitBtn2->click();
        QTRY_COMPARE_WITH_TIMEOUT(s.platform.texts("information").size(), 3, 20000);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList("Морозов Кирилл Денисович.pdf"));
    }

    // "Сохранить ВСЕ" saves beside the program when its folder can be written, else (an installed
    // program in /usr/bin) into the user's documents, and names the folder; the folder holds the
    // works only.
    void saveAllFollowsTheProgramsFolder()
    {
        const bool beside = QFileInfo(QCoreApplication::applicationDirPath()).isWritable();
        if (qEnvironmentVariableIsSet("VARDEX_TEST_READ_ONLY_PROGRAM"))
            QVERIFY(!beside);
        const QString folder = beside ? QCoreApplication::applicationDirPath() + "/Математика 9 класс"
                                      : QDir::homePath() + "/Documents/Vardex/Математика 9 класс";
        QCOMPARE(TDataER::downloadFolder("Математика 9 класс"), folder);
        QDir(folder).removeRecursively();
        Session s;
        s.window.item("N6")->trigger();
        TFormWorkLoadOriginal *form = FormWorkLoadOriginal;
        choose(form->DBLookupComboBox1, "Математика 9 класс");
        form->BitBtn3->click();
        QTRY_COMPARE_WITH_TIMEOUT(s.platform.texts("information").size(), 1, 20000);
        QCOMPARE(s.platform.texts("information")[0], "Скачивание файлов завершено.\n\rФайлы сохранены в папке:\n\r" + folder);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({"Иванов Иван Иванович.pdf", "Кузнецова Анна Петровна.pdf", "Морозов Кирилл Денисович.pdf"}));
        QVERIFY(s.platform.texts("error").isEmpty() && s.platform.texts("toplevel").isEmpty());
        QDir(folder).removeRecursively();
    }

    // Hundreds of small scans: the count bar changes at most ten times a second, not once per
    // file, and still ends with every file saved.
    void manySmallFilesPaceTheBar()
    {
        const int files = 300;
        QDir().mkpath(Fixture::filesRoot() + "/untestedwork");
        QStringList values;
        for (int i = 0; i < files; ++i) {
            const QString name = QString("bulk_%1.pdf").arg(i);
            QFile f(serverFile("untestedwork", name));
            f.open(QIODevice::WriteOnly);
            f.write("%PDF-1.4\n" + QByteArray(2000, 'x') + "\n%%EOF\n");
            values << QString("(%1, %2, 1, 2, 1, '%3', 0)").arg(100 + i).arg(1001 + i % 8).arg(name);
        }
        Fixture::exec("INSERT INTO `zet_untestedwork` (`id`, `user_id`, `educationallistID`, `period_id`, `areas_id`, "
                      "`bodyFile`, `checkWork`) VALUES " + values.join(','));
        Session s;
        TFormWorkLoadOriginal form;
        choose(form.DBLookupComboBox1, "Математика 9 класс");
        int changes = 0;
        connect(form.ProgressBar2, &QProgressBar::valueChanged, this, [&] { ++changes; });
        QElapsedTimer t;
        t.start();
        form.BitBtn3->click();
        QTRY_COMPARE_WITH_TIMEOUT(s.platform.texts("information").size(), 1, 60000);
        const qint64 ms = t.elapsed();
        QVERIFY2(changes <= ms / 100 + 3, qPrintable(QString("%1 changes in %2 ms").arg(changes).arg(ms)));
        QCOMPARE(QDir(downloadDir("Математика 9 класс")).entryList(QDir::Files).size(), files + 3);
        for (int i = 0; i < files; ++i)
            QFile::remove(serverFile("untestedwork", QString("bulk_%1.pdf").arg(i)));
    }

    // A missing file is reported and leaves nothing; odd and equal names stay apart and inside.
    void downloadFailuresAndNames()
    {
        Fixture::exec("UPDATE `zet_users` SET `surname`='../../Злой/Хакер' WHERE `id`=1002");
        Fixture::exec("UPDATE `zet_users` SET `surname`='Иванов', `name`='Иван', `patronymic`='Иванович' WHERE `id`=1007");
        Fixture::exec("INSERT INTO `zet_untestedwork` (`id`, `user_id`, `educationallistID`, `period_id`, `areas_id`, "
                      "`bodyFile`, `checkWork`) VALUES (11, 1003, 1, 2, 1, 'нет такого #1.pdf', 0)");
        Session s;
        TFormWorkLoadOriginal form;
        choose(form.DBLookupComboBox1, "Математика 9 класс");
        form.BitBtn3->click();
        QTRY_COMPARE_WITH_TIMEOUT(s.platform.texts("information").size(), 1, 20000);
        const QString folder = downloadDir("Математика 9 класс");
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 QStringList({"_.._Злой_Хакер Анна Петровна.pdf", "Иванов Иван Иванович (2).pdf", "Иванов Иван Иванович.pdf"}));
        QCOMPARE(bytes(folder + "/_.._Злой_Хакер Анна Петровна.pdf"), bytes(serverFile("untestedwork", "MA9_1_2_1002.pdf")));
        const QString message = s.platform.texts("information")[0];
        QVERIFY2(message.endsWith("\n\rНе удалось скачать файлов: 1\n\rСмирнов Дмитрий Олегович.pdf"), qPrintable(message));
        QVERIFY(QDir(downloadDir("")).entryList({"*.part"}, QDir::Files).isEmpty());
    }

    // However the discipline is chosen (popup, keys, wheel), the list is re-read once, for it;
    // the wheel changes the list only while it has the focus.
    void disciplineFollowsEveryWayOfChoosing()
    {
        Session s;
        TFormWorkLoadOriginal form;
        QVERIFY(activate(&form));
        QSignalSpy reads(DataER->query("GETloadWork"), &NamedQuery::opened);
        TLookupCombo *list = form.DBLookupComboBox1;
        QCOMPARE(list->currentText(), QString("Математика 11 класс"));
        chooseByKeys(list, 1);
        QCOMPARE(list->currentText(), QString("Математика 9 класс"));
        QCOMPARE(reads.count(), 1);
        QCOMPARE(form.DBGrid1->query()->recordCount(), 3);
        form.DBGrid1->setFocus();
        wheel(list, false);
        QCOMPARE(list->currentText(), QString("Математика 9 класс"));
        QCOMPARE(reads.count(), 1);
        list->setFocus();
        wheel(list, false);
        QCOMPARE(list->currentText(), QString("Математика 11 класс"));
        QCOMPARE(reads.count(), 2);
        QCOMPARE(form.DBGrid1->query()->recordCount(), 4);
        choose(list, "Математика 11 класс");   // the same entry again: nothing to re-read
        QCOMPARE(reads.count(), 2);
        choose(list, "Математика 9 класс");
        QCOMPARE(reads.count(), 3);
        QCOMPARE(form.DBGrid1->query()->recordCount(), 3);
        QTest::keyClick(list, Qt::Key_Up);   // the arrow keys on the closed list
        QCOMPARE(list->currentText(), QString("Математика 11 класс"));
        QCOMPARE(reads.count(), 4);
        QCOMPARE(form.DBGrid1->query()->recordCount(), 4);
    }

    void closingMidDownload()
    {
        Session s;
        s.window.item("N6")->trigger();
        TFormWorkLoadOriginal *form = FormWorkLoadOriginal;
        QCOMPARE(form->DBLookupComboBox1->currentText(), QString("Математика 11 класс"));
        QCOMPARE(form->ProgressBar2->text(), QString());   // blank before any download
        form->BitBtn3->click();
        form->closeWindow();
        QVERIFY(!FormWorkLoadOriginal);
        // the files still arrive; nothing is shown for a closed window
        QTRY_COMPARE_WITH_TIMEOUT(QDir(downloadDir("Математика 11 класс")).entryList(QDir::Files).size(), 4, 20000);
        QTest::qWait(200);
        QVERIFY(s.platform.boxes.isEmpty());
    }

    void noDisciplines()
    {
        Session s(2);
        TFormWorkLoadOriginal form;
        QCOMPARE(form.DBLookupComboBox1->count(), 0);
        QVERIFY(!form.BitBtn2->isEnabled());
        form.BitBtn3->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Нет файлов для скачивания"));
    }

    void singleUploadsAndDelete()
    {
        QTemporaryDir dir;
        const QString scan = makeScan(dir, "скан 1003.pdf");
        Session s;
        s.window.item("N8")->trigger();
        UploadWindow *form = uploadWindow;
        QCOMPARE(form->disciplineList->currentText(), QString("Математика 11 класс"));
        QCOMPARE(form->areaList->currentText(), QString("Показать ВСЕ муниципальные образования"));
        QCOMPARE(form->batchBar->text(), QString());
        QCOMPARE(form->totalLabel->text(), QString("Итого загружено работ - 0"));
        QVERIFY(!form->deleteButton->isEnabled());

        form->participantEdit->setText("12a");
        form->uploadButton->click();
        QCOMPARE(s.platform.texts("error"), QStringList("Введенный номер участника не является целым числом."));

        s.platform.filesToOpen = {scan};
        form->participantEdit->setText(" 1003 ");
        form->uploadButton->click();
        form->uploadButton->click();
        QCOMPARE(s.platform.folders.last(), dir.path());   // the file dialog opens where the last file was
        QCOMPARE(s.platform.texts("information"), QStringList({"Файл отправлен на сервер.", "Файл отправлен на сервер."}));
        QCOMPARE(uploads(), QStringList({"1003|1|2|2|MA11_2_2_1003_1.pdf", "1003|1|2|2|MA11_2_2_1003_2.pdf"}));
        QCOMPARE(bytes(serverFile("testedwork", "MA11_2_2_1003_2.pdf")), bytes(scan));
        QCOMPARE(form->totalLabel->text(), QString("Итого загружено работ - 2"));
        QCOMPARE(form->uploadsGrid->currentValue("bodyFile").toString(), QString("MA11_2_2_1003_2.pdf"));   // the new one

        // delete the first: row and file go; the next upload does not reuse a name in use
        // both rows have the same participant, so the list's order between them is the server's
        for (int r = 0; r < form->uploadsGrid->query()->recordCount(); ++r)
            if (form->uploadsGrid->query()->value(r, "bodyFile").toString() == "MA11_2_2_1003_1.pdf")
                form->uploadsGrid->setCurrentIndex(form->uploadsGrid->model()->index(r, 0));
        QCOMPARE(form->uploadsGrid->currentValue("bodyFile").toString(), QString("MA11_2_2_1003_1.pdf"));
        s.platform.answers = {false};
        form->deleteButton->click();   // "Cancel": nothing happens
        QCOMPARE(uploads().size(), 2);
        form->deleteButton->click();
        QCOMPARE(s.platform.texts("warning").last(), QString("Файл MA11_2_2_1003_1.pdf будет удален без возможности восстановления.\n\rПродолжить?"));
        QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_2.pdf"));
        QVERIFY(!QFile::exists(serverFile("testedwork", "MA11_2_2_1003_1.pdf")));
        form->uploadButton->click();
        QCOMPARE(uploads().last(), QString("1003|1|2|2|MA11_2_2_1003_3.pdf"));
        QVERIFY(QFile::exists(serverFile("testedwork", "MA11_2_2_1003_2.pdf")));

        // a row whose file is gone already (its deletion's commit failed after the file went):
        // the file server's "no such file" finishes the deletion
        QVERIFY(QFile::remove(serverFile("testedwork", "MA11_2_2_1003_3.pdf")));
        for (int r = 0; r < form->uploadsGrid->query()->recordCount(); ++r)
            if (form->uploadsGrid->query()->value(r, "bodyFile").toString() == "MA11_2_2_1003_3.pdf")
                form->uploadsGrid->setCurrentIndex(form->uploadsGrid->model()->index(r, 0));
        QTest::mouseClick(form->deleteButton, Qt::LeftButton);
        QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_2.pdf"));
        QVERIFY(s.platform.texts("error").size() == 1 && s.platform.texts("toplevel").isEmpty());
        form->uploadButton->click();

        // the area list narrows the list and the count follows
        choose(form->areaList, "Приморский район");
        QCOMPARE(form->totalLabel->text(), QString("Итого загружено работ - 0"));
        choose(form->areaList, "Центральный район");
        QCOMPARE(form->totalLabel->text(), QString("Итого загружено работ - 2"));
        QVERIFY(s.platform.texts("toplevel").isEmpty());
    }

    // A file server that fails the deletion leaves the upload as it was, its row with its file;
    // once the server is well the deletion takes both.
    void deleteKeepsBothWhenTheServerFails()
    {
        QTemporaryDir dir;
        Session s;
        s.window.item("N8")->trigger();
        UploadWindow *form = uploadWindow;
        s.platform.filesToOpen = {makeScan(dir, "1003.pdf")};
        form->participantEdit->setText("1003");
        form->uploadButton->click();
        QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_1.pdf"));
        form->uploadsGrid->setCurrentIndex(form->uploadsGrid->model()->index(0, 0));
        QFile fail(Fixture::filesRoot() + "/lib/fail");
        QVERIFY(fail.open(QIODevice::WriteOnly));
        fail.close();
        const auto restore = qScopeGuard([&] { QFile::remove(fail.fileName()); });
        form->deleteButton->click();
        QCOMPARE(s.platform.texts("toplevel").size(), 1);
        QVERIFY2(s.platform.texts("toplevel")[0].startsWith("Не удалось удалить файл MA11_2_2_1003_1.pdf на сервере: HTTP 500"),
                 qPrintable(s.platform.texts("toplevel")[0]));
        QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_1.pdf"));
        QVERIFY(QFile::exists(serverFile("testedwork", "MA11_2_2_1003_1.pdf")));
        QFile::remove(fail.fileName());
        form->readList();
        form->uploadsGrid->setCurrentIndex(form->uploadsGrid->model()->index(0, 0));
        form->deleteButton->click();
        QCOMPARE(uploads(), QStringList());
        QVERIFY(!QFile::exists(serverFile("testedwork", "MA11_2_2_1003_1.pdf")));
    }

    // Two workstations upload for one participant at once, against a server that overwrites
    // an existing name and answers 200: every scan is kept and every row names its own file.
    void concurrentUploadsToAnOverwritingServer()
    {
        QFile flag(Fixture::filesRoot() + "/lib/overwrite");
        QVERIFY(flag.open(QIODevice::WriteOnly));
        flag.close();
        // and a centre's table without our unique key on the stored name
        Fixture::exec("ALTER TABLE `zet_testedwork` DROP INDEX IF EXISTS `bodyFile`");
        const auto restore = qScopeGuard([&] {
            QFile::remove(flag.fileName());
            Fixture::exec("DELETE FROM `zet_testedwork`");
            Fixture::exec("ALTER TABLE `zet_testedwork` ADD UNIQUE KEY IF NOT EXISTS `bodyFile` (`bodyFile`)");
        });
        QTemporaryDir dir;
        QHash<QString, QByteArray> sent;   // stored name -> what was posted under it
        for (int trial = 0; trial < 10; ++trial) {
            QList<QProcess *> probes;
            QStringList scans;
            for (int station = 0; station < 2; ++station) {
                scans << makeScan(dir, QString("t%1-s%2.pdf").arg(trial).arg(station));
                auto *probe = new QProcess(this);
                probe->start(QCoreApplication::applicationDirPath() + "/upload_probe", {"2", "1003", "1", scans.last()});
                probes << probe;
            }
            for (int station = 0; station < 2; ++station) {
                QVERIFY(probes[station]->waitForFinished(60000));
                const QString name = QString::fromUtf8(probes[station]->readAllStandardOutput()).trimmed();
                QCOMPARE(probes[station]->exitCode(), 0);
                QVERIFY2(!sent.contains(name), qPrintable(name));
                sent.insert(name, bytes(scans[station]));
                delete probes[station];
            }
        }
        const QStringList rows = Fixture::rows("SELECT `bodyFile` FROM `zet_testedwork` ORDER BY `id`");
        QCOMPARE(rows.size(), 20);
        QCOMPARE(QSet<QString>(rows.begin(), rows.end()), QSet<QString>(sent.keyBegin(), sent.keyEnd()));
        for (auto it = sent.cbegin(); it != sent.cend(); ++it)
            QCOMPARE(bytes(serverFile("testedwork", it.key())), it.value());
    }

    // The link breaks at the commit of an upload: the message says what the database holds.
    void linkBreaksAtTheUploadCommit_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("stored");
        QTest::newRow("commit lost") << "lost" << false;
        QTest::newRow("answer lost") << "reply" << true;
    }
    void linkBreaksAtTheUploadCommit()
    {
        QFETCH(QString, mode);
        QFETCH(bool, stored);
        QTemporaryDir dir;
        CutProxy proxy;
        Config config = Config::get();
        config.dbPort = proxy.port();
        Session s(config, 1);
        s.window.item("N8")->trigger();
        UploadWindow *form = uploadWindow;
        s.platform.filesToOpen = {makeScan(dir, "1003.pdf")};
        form->participantEdit->setText("1003");
        proxy.arm(mode);
        form->uploadButton->click();
        QVERIFY(proxy.fired());
        if (stored) {
            QCOMPARE(s.platform.texts("information"), QStringList("Файл отправлен на сервер."));
            QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_1.pdf"));
            return;
        }
        QCOMPARE(s.platform.texts("error"), QStringList("Возникла ошибка при загрузке файла на сервер"));
        QVERIFY(s.platform.boxes.last().detail.contains("Изменения не сохранены"));
        QCOMPARE(uploads(), QStringList());
        // the file posted for the row that was not kept is taken back: no file without its row
        QVERIFY(!QFile::exists(serverFile("testedwork", "MA11_2_2_1003_1.pdf")));
        form->uploadButton->click();   // again
        QCOMPARE(s.platform.texts("information"), QStringList("Файл отправлен на сервер."));
        QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_1.pdf"));
    }

    // A server that redirects, or sends without end: the transfer stops, says why in words, and
    // leaves nothing behind.
    void oddAnswersAreNamed()
    {
        QProcess server;
        server.start("python3", {Fixture::sourceDir() + "/tests/odd_http.py"});
        QVERIFY(server.waitForReadyRead(20000));
        const QString base = "http://127.0.0.1:" + QString::fromUtf8(server.readLine().trimmed()) + "/untestedwork/";
        const auto stop = qScopeGuard([&] { server.kill(); server.waitForFinished(); });
        const qint64 cap = DownloadEngine::kMaxDownloadBytes;
        DownloadEngine::kMaxDownloadBytes = 2 * 1024 * 1024;
        const auto restore = qScopeGuard([cap] { DownloadEngine::kMaxDownloadBytes = cap; });
        QTemporaryDir dir;
        auto *engine = new DownloadEngine({{base + "redirect.pdf", dir.filePath("a.pdf")}, {base + "endless.pdf", dir.filePath("b.pdf")}});
        QMap<int, QString> reasons;
        connect(engine, &DownloadEngine::fileFailed, this, [&](int index, const QString &reason, bool) { reasons[index] = reason; });
        QSignalSpy finished(engine, &DownloadEngine::finished);
        engine->start();
        QVERIFY(finished.wait(30000));
        QCOMPARE(reasons.value(0), QString("сервер ответил HTTP 302"));
        QCOMPARE(reasons.value(1), QString("файл больше 2 МиБ"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A full disk during a download is said in Russian, naming the folder, and leaves nothing.
    void fullDiskIsNamed()
    {
        QTemporaryDir dir;
        const QString small = dir.filePath("small");
        QDir().mkpath(small);
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", small}) != 0)
            QSKIP("a small file system needs mount (root)");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {small}); });
        QFile big(serverFile("untestedwork", "big.pdf"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write("%PDF-1.4\n" + QByteArray(1024 * 1024, 'x') + "\n%%EOF\n");
        big.close();
        const auto remove = qScopeGuard([&] { big.remove(); });
        auto *engine = new DownloadEngine({{Config::get().filesUrl + "untestedwork/big.pdf", small + "/big.pdf"}});
        QString reason;
        connect(engine, &DownloadEngine::fileFailed, this, [&](int, const QString &why, bool) { reason = why; });
        QSignalSpy finished(engine, &DownloadEngine::finished);
        engine->start();
        QVERIFY(finished.wait(30000));
        QCOMPARE(reason, QString("нет места на диске в папке %1: освободите место и загрузите снова").arg(small));
        QCOMPARE(QDir(small).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // An older database may name one file in two rows: deleting one row keeps the file the
    // other still names.
    void deletionKeepsAFileAnotherRowNames()
    {
        Fixture::exec("ALTER TABLE `zet_testedwork` DROP INDEX IF EXISTS `bodyFile`");
        const auto restore = qScopeGuard([] {
            Fixture::exec("DELETE FROM `zet_testedwork`");
            Fixture::exec("ALTER TABLE `zet_testedwork` ADD UNIQUE KEY IF NOT EXISTS `bodyFile` (`bodyFile`)");
        });
        QTemporaryDir dir;
        QVERIFY(QFile::copy(makeScan(dir, "shared.pdf"), serverFile("testedwork", "MA11_2_2_1003_1.pdf")));
        for (int i = 0; i < 2; ++i)
            Fixture::exec("INSERT INTO `zet_testedwork` (`areas_id`, `user_id`, `period_id`, `educationList_id`, `extFile`, "
                          "`bodyFile`) VALUES (1, 1003, 2, 2, 'pdf', 'MA11_2_2_1003_1.pdf')");
        Session s;
        s.window.item("N8")->trigger();
        UploadWindow *form = uploadWindow;
        form->uploadsGrid->setCurrentIndex(form->uploadsGrid->model()->index(0, 0));
        form->deleteButton->click();
        QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_1.pdf"));
        QVERIFY(QFile::exists(serverFile("testedwork", "MA11_2_2_1003_1.pdf")));
        form->uploadsGrid->setCurrentIndex(form->uploadsGrid->model()->index(0, 0));
        form->deleteButton->click();
        QCOMPARE(uploads(), QStringList());
        QVERIFY(!QFile::exists(serverFile("testedwork", "MA11_2_2_1003_1.pdf")));
        QVERIFY(s.platform.texts("toplevel").isEmpty());
    }

    void batchUpload()
    {
        QTemporaryDir dir;
        const QStringList files = {makeScan(dir, "1004.pdf"), makeScan(dir, "4567a.pdf"),
                                   makeScan(dir, "1008.pdf", UploadWindow::kMaxUpload + 1),
                                   makeScan(dir, "1003.pdf", UploadWindow::kMaxUpload), makeScan(dir, "4567.pdf"),
                                   makeScan(dir, "4568.pdf")};
        Session s;
        UploadWindow form;
        form.show();
        form.batchCheck->click();
        QVERIFY(!form.participantEdit->isEnabled());
        s.platform.filesToOpen = files;
        s.platform.answers = {true, false};   // 4567: upload all the same; 4568: no
        // the bar as the expert sees it while the closing box is open (a real box runs events)
        int barBehindTheBox = 0;
        s.platform.onInformation = [&] {
            QTest::qWait(250);
            barBehindTheBox = form.batchBar->value();
        };
        form.uploadButton->click();
        QCOMPARE(barBehindTheBox, form.batchBar->minimum() - 1);   // reset, not left part way
        QCOMPARE(s.platform.texts("error"),
                 QStringList({"Имя файла 4567a не является целым числом.",
                              "Размер файла \n\r" + files[2] + "\n\r превышает 50 мегабайт и не может быть загружен на сервер."}));
        QCOMPARE(s.platform.texts("warning"),
                 QStringList({"Участник 4567 не найден среди работ выбранного мероприятия. Загрузить работу?",
                              "Участник 4568 не найден среди работ выбранного мероприятия. Загрузить работу?"}));
        // the misnamed and the oversized file count as not uploaded; the declined one does not
        QCOMPARE(s.platform.texts("information"), QStringList("Загрузка файлов завершена.\n\rНе удалось загрузить файлов: 2"));
        QCOMPARE(uploads(), QStringList({"1004|4|2|2|MA11_2_2_1004_1.pdf", "1003|1|2|2|MA11_2_2_1003_1.pdf",
                                         "4567|10|2|2|MA11_2_2_4567_1.pdf"}));
        QCOMPARE(QFileInfo(serverFile("testedwork", "MA11_2_2_1003_1.pdf")).size(), UploadWindow::kMaxUpload);
    }

    // The reference server takes only the names the workstation makes, never replaces a stored
    // file, refuses what is too large with 413, and runs nothing it stores.
    void fileServerDoors()
    {
        QTemporaryDir dir;
        const QString php = dir.filePath("evil.php");
        {
            QFile f(php);
            f.open(QIODevice::WriteOnly);
            f.write("<?php echo 6*7; ?>");
        }
        for (const char *name : {"evil.php", "x.pdf.php", "../evil.pdf", ".htaccess", "a b.pdf", "MA9_1.PDF"})
            QVERIFY2(uploadAs(php, name).startsWith("HTTP 400"), qPrintable(name));
        QCOMPARE(QDir(serverFile("testedwork", "")).entryList(QDir::Files), QStringList());
        // planted by other means, a script under a data folder is still not run
        QFile::copy(php, serverFile("testedwork", "evil.php"));
        const auto planted = httpGet("testedwork/evil.php");
        QVERIFY(!planted.second.contains("42"));
        QCOMPARE(planted.first, 404);
        QCOMPARE(httpGet("lib/common.php").first, 404);

        const QString scan = makeScan(dir, "scan.pdf");
        QCOMPARE(uploadAs(scan, "MA9_1_2_1001_1.pdf"), QString());
        QCOMPARE(uploadAs(makeScan(dir, "other.pdf"), "MA9_1_2_1001_1.pdf"), QString("HTTP 409: file exists"));
        QCOMPARE(bytes(serverFile("testedwork", "MA9_1_2_1001_1.pdf")), bytes(scan));
        QCOMPARE(httpGet("testedwork/MA9_1_2_1001_1.pdf").second, bytes(scan));

        const QString big = makeScan(dir, "big.pdf", 70 * 1024 * 1024);
        QVERIFY2(uploadAs(big, "MA9_1_2_1001_2.pdf").startsWith("HTTP 413"), "70 MB");
        QVERIFY(!QFile::exists(serverFile("testedwork", "MA9_1_2_1001_2.pdf")));
    }

    // A file server that answers 200 and keeps nothing, or redirects the post: nothing is kept,
    // the row included, and the expert is told.
    void lyingServerKeepsNoRow_data()
    {
        QTest::addColumn<QString>("lie");
        QTest::newRow("200, nothing stored") << "lie";
        QTest::newRow("redirect") << "redirect";
    }
    void lyingServerKeepsNoRow()
    {
        QFETCH(QString, lie);
        QFile flag(Fixture::filesRoot() + "/lib/" + lie);
        QVERIFY(flag.open(QIODevice::WriteOnly));
        flag.close();
        const auto restore = qScopeGuard([&] { QFile::remove(flag.fileName()); });
        QTemporaryDir dir;
        Session s;
        UploadWindow form;
        s.platform.filesToOpen = {makeScan(dir, "1003.pdf")};
        form.participantEdit->setText("1003");
        form.uploadButton->click();
        QCOMPARE(s.platform.texts("information"), QStringList());
        QCOMPARE(s.platform.texts("error"), QStringList("Возникла ошибка при загрузке файла на сервер"));
        QCOMPARE(uploads(), QStringList());
        QVERIFY(QDir(Fixture::filesRoot() + "/testedwork").entryList(QDir::Files).isEmpty());
    }

    // Files without rows under a participant's next names (more than a few): the next free name
    // past them; the wait for another workstation's upload ends with its own message.
    void orphansAndTheNamesLock()
    {
        QTemporaryDir dir;
        for (int n = 1; n <= 7; ++n)
            QVERIFY(QFile::copy(makeScan(dir, QString("orphan%1.pdf").arg(n)), serverFile("testedwork", QString("MA11_2_2_1003_%1.pdf").arg(n))));
        Session s;
        UploadWindow form;
        s.platform.filesToOpen = {makeScan(dir, "1003.pdf")};
        form.participantEdit->setText("1003");
        form.uploadButton->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Файл отправлен на сервер."));
        QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_8.pdf"));

        // another workstation holds the participant's names longer than the wait
        const int wait = storedNamesWaitSeconds;
        storedNamesWaitSeconds = 1;
        const auto restore = qScopeGuard([&] {
            storedNamesWaitSeconds = wait;
            Fixture::scalar("SELECT RELEASE_LOCK('vardex-upload:2:1003')");
        });
        QCOMPARE(Fixture::scalar("SELECT GET_LOCK('vardex-upload:2:1003', 0)").toInt(), 1);
        form.uploadButton->click();
        QCOMPARE(s.platform.texts("error").size(), 1);
        QVERIFY2(s.platform.boxes.last().detail.contains("Другая рабочая станция загружает работу этого участника"),
                 qPrintable(s.platform.boxes.last().detail));
        QCOMPARE(uploads().size(), 1);

        // A longer wait: the window shows what it waits for and keeps answering. Cancel stops it with
        // nothing sent; a second time the other workstation finishes and the upload goes.
        storedNamesWaitSeconds = 60;
        for (const bool cancel : {true, false}) {
            QString shown;
            bool acted = false;
            QTimer poll;
            connect(&poll, &QTimer::timeout, [&] {
                auto *box = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
                if (acted || !box || box->objectName() != "namesWaitDialog")
                    return;
                acted = true;
                shown = box->labelText();
                if (cancel)
                    QTest::mouseClick(box->findChild<QPushButton *>(), Qt::LeftButton);
                else
                    Fixture::scalar("SELECT RELEASE_LOCK('vardex-upload:2:1003')");
            });
            poll.start(50);
            s.platform.boxes.clear();
            QTest::mouseClick(form.uploadButton, Qt::LeftButton);
            poll.stop();
            QVERIFY(acted);
            QVERIFY2(shown.contains("Другая рабочая станция загружает работу участника 1003"), qPrintable(shown));
            if (cancel) {
                QCOMPARE(s.platform.texts("information"), QStringList("Загрузка отменена: файл не отправлен."));
                QCOMPARE(uploads().size(), 1);
            } else {
                QCOMPARE(s.platform.texts("information"), QStringList("Файл отправлен на сервер."));
                QCOMPARE(uploads().size(), 2);
            }
            QCOMPARE(s.platform.texts("error"), QStringList());
        }
    }

    // The checked-copy sender takes only what the upload window would: crafted queue entries are
    // set aside with their reason, and nothing reaches the server or the database.
    void senderRefusesCraftedEntries_data()
    {
        QTest::addColumn<QString>("craft");
        QTest::addColumn<QString>("reason");   // "" for a copy that goes
        QTest::newRow("a proper copy") << "proper" << "";
        QTest::newRow("a link to another file") << "link" << "файл копии не найден или не является обычным файлом";
        QTest::newRow("a folder") << "folder" << "файл копии не найден или не является обычным файлом";
        QTest::newRow("a pipe") << "fifo" << "файл копии не найден или не является обычным файлом";
        QTest::newRow("plain text") << "text" << "файл копии не является целым PDF";
        QTest::newRow("empty") << "empty" << "файл копии больше 50 МиБ или пуст";
        QTest::newRow("no such participant") << "participant" << "работа 4 не найдена среди работ дисциплины";
        QTest::newRow("no such discipline") << "discipline" << "работа 4 не найдена среди работ дисциплины";
        QTest::newRow("the entry a link") << "entry-link" << "запись очереди не является обычным файлом";
        QTest::newRow("a closed period's work") << "closed" << "период работы 1001 закрыт: копия не отправляется";
    }
    void senderRefusesCraftedEntries()
    {
        QFETCH(QString, craft);
        QFETCH(QString, reason);
        QTemporaryDir queue, elsewhere;
        const QString base = queue.filePath("4-1");
        const QString secret = elsewhere.filePath("secret.pdf");
        QFile f(secret);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4 someone else's\n%%EOF\n");
        f.close();
        int work = 4, discipline = 2, participant = 1003;
        if (craft == "participant")
            participant = 999999;
        if (craft == "discipline")
            discipline = 99;
        if (craft == "closed")
            work = 9, discipline = 1, participant = 1001;
        const QByteArray entry = QString(R"({"work":%1,"expert":1,"discipline":%2,"participant":%3})").arg(work).arg(discipline).arg(participant).toUtf8();
        if (craft == "entry-link") {
            QFile e(elsewhere.filePath("entry.json"));
            QVERIFY(e.open(QIODevice::WriteOnly));
            e.write(entry);
            e.close();
            QVERIFY(QFile::link(e.fileName(), base + ".json"));
        } else {
            QFile e(base + ".json");
            QVERIFY(e.open(QIODevice::WriteOnly));
            e.write(entry);
        }
        if (craft == "link")
            QVERIFY(QFile::link(secret, base + ".pdf"));
        else if (craft == "folder")
            QVERIFY(QDir().mkpath(base + ".pdf"));
        else if (craft == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(base + ".pdf").constData(), 0600), 0);
        else {
            QFile pdf(base + ".pdf");
            QVERIFY(pdf.open(QIODevice::WriteOnly));
            pdf.write(craft == "text" ? QByteArray("just text") : craft == "empty" ? QByteArray() : QByteArray("%PDF-1.4 checked copy\n%%EOF\n"));
        }
        QProcess sender;
        sender.start(qEnvironmentVariable("VARDEX_SEND_HELPER"), {base + ".json"});
        QVERIFY(sender.waitForFinished(60000));
        const QString answer = QString::fromUtf8(sender.readAllStandardOutput()).trimmed();
        if (reason.isEmpty()) {
            QCOMPARE(answer, QString("sent MA11_2_2_1003_1.pdf"));
            QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_1.pdf"));
            QVERIFY(!QFile::exists(base + ".json"));
            return;
        }
        QCOMPARE(answer, "refused: " + reason);
        QCOMPARE(sender.exitCode(), 5);
        QCOMPARE(uploads(), QStringList());
        QVERIFY(QDir(Fixture::filesRoot() + "/testedwork").entryList(QDir::Files).isEmpty());
        QVERIFY(!QFileInfo::exists(base + ".json") && QFileInfo(base + ".refused").isSymLink() == (craft == "entry-link"));
        QFile why(base + ".reason");
        QVERIFY(why.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(why.readAll()), reason);
        QCOMPARE(bytes(secret), QByteArray("%PDF-1.4 someone else's\n%%EOF\n"));
    }

    // A sender that hangs (here on another workstation's hold of the participant's names) is
    // ended, and the copy waits for the next try.
    void hungSenderIsEnded()
    {
        const QString folder = CheckedCopies::queueFolder();
        QDir(folder).removeRecursively();
        makePrivateFolder(folder);
        const auto clean = qScopeGuard([&] {
            QDir(folder).removeRecursively();
            Fixture::scalar("SELECT RELEASE_LOCK('vardex-upload:2:1003')");
        });
        QFile entry(folder + "/4-1.json"), pdf(folder + "/4-1.pdf");
        QVERIFY(entry.open(QIODevice::WriteOnly) && pdf.open(QIODevice::WriteOnly));
        entry.write(R"({"work":4,"expert":1,"discipline":2,"participant":1003})");
        pdf.write("%PDF-1.4 checked copy\n%%EOF\n");
        entry.close();
        pdf.close();
        QCOMPARE(Fixture::scalar("SELECT GET_LOCK('vardex-upload:2:1003', 0)").toInt(), 1);
        const int limit = CheckedCopies::sendSeconds;
        CheckedCopies::sendSeconds = 2;
        const auto restore = qScopeGuard([&] { CheckedCopies::sendSeconds = limit; });
        QSignalSpy failed(&CheckedCopies::get(), &CheckedCopies::sendFailed);
        CheckedCopies::get().sendPending(0);
        QVERIFY(failed.wait(20000));
        QCOMPARE(failed[0][0].toString(), QString("отправка не завершилась за 2 с"));
        QCOMPARE(CheckedCopies::get().pending(), 1);
        QCOMPARE(uploads(), QStringList());
    }

    // A name taken on the server meanwhile (a file without its row): the next number is used.
    void uploadTakesNextFreeName()
    {
        QTemporaryDir dir;
        const QString orphan = makeScan(dir, "orphan.pdf");
        QFile::copy(orphan, serverFile("testedwork", "MA11_2_2_1003_1.pdf"));
        Session s;
        UploadWindow form;
        s.platform.filesToOpen = {makeScan(dir, "1003.pdf")};
        form.participantEdit->setText("1003");
        form.uploadButton->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Файл отправлен на сервер."));
        QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_2.pdf"));
        QCOMPARE(bytes(serverFile("testedwork", "MA11_2_2_1003_1.pdf")), bytes(orphan));
        QCOMPARE(bytes(serverFile("testedwork", "MA11_2_2_1003_2.pdf")), bytes(s.platform.filesToOpen[0]));
    }

    void participantNumbers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("zero") << "0";
        QTest::newRow("negative") << "-1003";
        QTest::newRow("out of range") << "99999999999";
        QTest::newRow("not a number") << "12a";
    }
    void participantNumbers()
    {
        QFETCH(QString, typed);
        Session s;
        UploadWindow form;
        form.participantEdit->setText(typed);
        form.uploadButton->click();
        QCOMPARE(s.platform.texts("error"), QStringList("Введенный номер участника не является целым числом."));
        QVERIFY(uploads().isEmpty());
    }

    // A file that went missing after it was chosen: reported, and the others still go.
    void batchGoesOnPastAMissingFile()
    {
        QTemporaryDir dir;
        const QStringList files = {dir.filePath("1004.pdf"), makeScan(dir, "1003.pdf"), makeScan(dir, "0.pdf")};
        Session s;
        UploadWindow form;
        form.batchCheck->click();
        s.platform.filesToOpen = files;
        form.uploadButton->click();
        QCOMPARE(s.platform.texts("error"), QStringList({"Не удалось прочитать размер файла " + files[0],
                                                         "Имя файла 0 не является целым числом."}));
        QCOMPARE(s.platform.texts("information"), QStringList("Загрузка файлов завершена.\n\rНе удалось загрузить файлов: 2"));
        QCOMPARE(uploads(), QStringList("1003|1|2|2|MA11_2_2_1003_1.pdf"));
        QCOMPARE(form.totalLabel->text(), QString("Итого загружено работ - 1"));
    }

    // Only a whole PDF becomes a work's file: an error page or a cut file is a failure.
    void downloadKeepsOnlyWholePdfs()
    {
        const QString page = serverFile("untestedwork", "MA9_1_2_1001.pdf");
        const QString cut = serverFile("untestedwork", "MA9_1_2_1002.pdf");
        const QByteArray pageBefore = bytes(page), cutBefore = bytes(cut);
        const auto restore = qScopeGuard([&] {
            for (auto [path, content] : {std::pair{page, pageBefore}, std::pair{cut, cutBefore}}) {
                QFile f(path);
                f.open(QIODevice::WriteOnly | QIODevice::Truncate);
                f.write(content);
            }
        });
        {
            QFile f(page);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write("<html><body>Сервер перегружен</body></html>");
        }
        {
            QByteArray whole = bytes(cut);
            QFile f(cut);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(whole.left(whole.size() / 2));
        }
        Session s;
        TFormWorkLoadOriginal form;
        choose(form.DBLookupComboBox1, "Математика 9 класс");
        form.BitBtn3->click();
        QTRY_COMPARE_WITH_TIMEOUT(s.platform.texts("information").size(), 1, 20000);
        const QString folder = downloadDir("Математика 9 класс");
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList("Морозов Кирилл Денисович.pdf"));
        QVERIFY(s.platform.texts("information")[0].contains("\n\rНе удалось скачать файлов: 2"));
        QVERIFY(QDir(folder).entryList({"*.part"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    // Two downloads of the same files at once: each writes its own temporary file.
    void parallelDownloadsOfOneFile()
    {
        const QString folder = downloadDir("Математика 9 класс");
        QDir().mkpath(folder);
        QList<TDownLoader> jobs;
        for (int i = 0; i < 8; ++i)
            jobs.append({Config::get().filesUrl + "untestedwork/MA9_1_2_1002.pdf", folder + "/one.pdf"});
        int done = 0;
        QList<int> failed;
        for (int k = 0; k < 2; ++k) {
            auto *engine = new DownloadEngine(jobs);
            connect(engine, &DownloadEngine::finished, this, [&](const QList<int> &f) { ++done; failed += f; });
            engine->start();
        }
        QTRY_COMPARE_WITH_TIMEOUT(done, 2, 20000);
        QCOMPARE(failed, QList<int>());
        QCOMPARE(bytes(folder + "/one.pdf"), bytes(serverFile("untestedwork", "MA9_1_2_1002.pdf")));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList("one.pdf"));
    }

    void refusedUploads()
    {
        QTemporaryDir dir;
        const QString scan = makeScan(dir, "1003.pdf");
        Session s;
        {
            // the server refuses a stored name with a folder part: no row
            Fixture::exec("UPDATE `zet_educationallist` SET `PrefixEncrypt`='../MA11' WHERE `id`=2");
            UploadWindow form;
            s.platform.filesToOpen = {scan};
            form.participantEdit->setText("1003");
            form.uploadButton->click();
            QCOMPARE(s.platform.texts("error"), QStringList("Возникла ошибка при загрузке файла на сервер"));
            // no prefix at all: refused before anything is sent
            Fixture::exec("UPDATE `zet_educationallist` SET `PrefixEncrypt`=NULL WHERE `id`=2");
            form.uploadButton->click();
            QCOMPARE(s.platform.texts("error").last(), QString("Для мероприятия не задан префикс имени файла"));
        }
        QVERIFY(uploads().isEmpty());
        QCOMPARE(QDir(Fixture::filesRoot() + "/testedwork").entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(TestFiles)
#include "test_files.moc"
#include "widgets/LookupCombo.h"

// Login through the real dialog (offscreen) against the real database.
#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

#include "RecordingPlatform.h"
#include "Session.h"
#include "TestFixture.h"
#include "TextChecks.h"
#include "app/AnnPrewiew.h"
#include "widgets/RtfReader.h"
#include "app/UnitMainER.h"
#include "data/ADataER.h"
#include "data/EventLog.h"
#include "security/Bcrypt.h"
#include "security/UnitCheckauthorization.h"
#include "security/UnitPasswords.h"

class TestLogin : public QObject {
    Q_OBJECT

    // What an announcement viewer showed: its text and background.
    struct Viewed {
        QString text;
        QColor background;
    };
    QList<Viewed> viewed;

    // Answers the login dialog with a login and a password, or cancels it; an announcement
    // viewer is shown as the user would see it, recorded and closed with OK.
    void answer(RecordingPlatform &p, const QString &login, const QString &password, bool ok = true)
    {
        p.onDialog = [=, this](QDialog &d) {
            if (auto *viewer = qobject_cast<TFormAnnPrewiew *>(&d)) {
                viewer->show();
                viewed.append({viewer->RichEdit1->toPlainText(),
                               viewer->RichEdit1->palette().color(QPalette::Base)});
                viewer->findChild<QPushButton *>("BitBtn1")->click();
                return viewer->result();
            }
            auto &dlg = static_cast<TFormCheckauthorization &>(d);
            dlg.Edit1->setText(login);
            dlg.Edit2->setText(password);
            return ok ? int(QDialog::Accepted) : int(QDialog::Rejected);
        };
    }

private slots:
    void init()
    {
        Fixture::loadDemo();
        viewed.clear();
    }

    void table_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("userID");
        QTest::newRow("unknown login") << "nobody@vetlan.test" << "Demo2023" << "Не верный логин" << -1;
        QTest::newRow("empty login") << "" << "" << "Не верный логин" << -1;
        QTest::newRow("inactive account") << "blocked@vetlan.test" << "Demo2024" << "Не верный логин" << -1;
        QTest::newRow("participant") << "p1001@school.test" << "participant" << "Не верный логин" << -1;
        QTest::newRow("wrong password") << "expert@vetlan.test" << "demo2023"
                                        << "Не верный пароль или учетная запись заблокирована" << -1;
        QTest::newRow("right password") << "expert@vetlan.test" << "Demo2023" << "" << 1;
        QTest::newRow("letter case ignored") << "Expert@Vetlan.test" << "Demo2023" << "" << 1;
        // look-alikes of the stored address that a folding collation would take for it
        QTest::newRow("accented") << "expert@vetlán.test" << "Demo2023" << "Не верный логин" << -1;
        QTest::newRow("full-width") << QString("ｅｘｐｅｒｔ@vetlan.test") << "Demo2023" << "Не верный логин" << -1;
        QTest::newRow("right-to-left mark") << QString("expert@vetlan.test") + QChar(0x200F) << "Demo2023"
                                            << "Не верный логин" << -1;
        QTest::newRow("right-to-left override") << QString("expert@") + QChar(0x202E) + "vetlan.test" << "Demo2023"
                                                << "Не верный логин" << -1;
        QTest::newRow("control character") << QString("expert@vetlan.test") + QChar(0x07) << "Demo2023"
                                           << "Не верный логин" << -1;
    }
    void table()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(int, userID);
        LoggedOut s;
        auto &[p, w, d] = s;
        answer(p, login, password);
        w.item("N2")->trigger();
        QCOMPARE(p.texts("error"), message.isEmpty() ? QStringList() : QStringList(message));
        QCOMPARE(d.userID, userID);
        if (userID > 0) {
            QCOMPARE(d.FIO, QString("Соколова Мария Ивановна"));
            QCOMPARE(d.LoginUser, QString("expert@vetlan.test"));   // the stored address, not the typed text
            QCOMPARE(w.userPanel(), QString("РЭ: Соколова Мария Ивановна"));
            QVERIFY(w.item("N33")->isEnabled());
            QCOMPARE(Fixture::scalar("SELECT `dateLastEnter` FROM `zet_users` WHERE `id`=1").toDate(), QDate::currentDate());
        } else {
            QCOMPARE(w.userPanel(), QString("Не авторизованный пользователь"));
            QVERIFY(!w.item("N33")->isEnabled());
            QVERIFY(Fixture::scalar("SELECT `dateLastEnter` FROM `zet_users` WHERE `id`=1").isNull());
        }
    }

    // Accounts whose stored addresses a folding collation takes for one another: the exact
    // address wins, a case-only difference (of any script) is taken only when it is the one match,
    // blanks typed around the address are not part of it, and no look-alike is folded. A login the
    // table cannot even hold is an unknown login.
    void lookAlikeAccounts_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("userID");
        QTest::newRow("exact, beside a capitalised twin") << "anna@vetlan.test" << "" << 101;
        QTest::newRow("exact capitalised twin") << "Anna@vetlan.test" << "" << 102;
        QTest::newRow("case only, two candidates") << "ANNA@vetlan.test"
                                                   << "Этот адрес записан у нескольких учётных записей, различающихся "
                                                      "только регистром букв. Введите адрес точно так, как он записан, "
                                                      "или обратитесь к администратору." << -1;
        QTest::newRow("trailing blank stored, not typed") << "boris@vetlan.test" << "Не верный логин" << -1;
        QTest::newRow("Kelvin sign is not k") << QString("\u212Aate@vetlan.test") << "Не верный логин" << -1;
        QTest::newRow("K in other case") << "kate@vetlan.test" << "" << 104;
        QTest::newRow("dotted capital I is not i") << QString("\u0130ra@vetlan.test") << "Не верный логин" << -1;
        QTest::newRow("Cyrillic address") << "пётр@почта.рф" << "" << 105;
        QTest::newRow("Cyrillic address, other case") << "ПЁТР@ПОЧТА.РФ" << "" << 105;
        QTest::newRow("blanks typed around") << "  anna@vetlan.test " << "" << 101;
        QTest::newRow("blanks around a Cyrillic address") << " Пётр@почта.рф  " << "" << 105;
        QTest::newRow("emoji login") << QString("anna\U0001F600@vetlan.test") << "Не верный логин" << -1;
        QTest::newRow("sign no table in cp1251 holds") << QString("anna\u2260@vetlan.test") << "Не верный логин" << -1;
    }
    void lookAlikeAccounts()
    {
        QFETCH(QString, login);
        QFETCH(QString, message);
        QFETCH(int, userID);
        const QString copy = "INSERT INTO `zet_users` (`id`,`email`,`password`,`surname`,`name`,`patronymic`,`roleID`,`isActive`) "
                             "SELECT %1, '%2', `password`, `surname`, `name`, `patronymic`, 5, 1 FROM `zet_users` WHERE `id`=1";
        Fixture::exec(copy.arg(101).arg("anna@vetlan.test"));
        Fixture::exec(copy.arg(102).arg("Anna@vetlan.test"));
        Fixture::exec(copy.arg(103).arg("boris@vetlan.test "));
        Fixture::exec(copy.arg(104).arg("Kate@vetlan.test"));
        Fixture::exec(copy.arg(105).arg("пётр@почта.рф"));
        Fixture::exec(copy.arg(106).arg("ira@vetlan.test"));
        LoggedOut s;
        auto &[p, w, d] = s;
        answer(p, login, "Demo2023");
        w.item("N2")->trigger();
        QCOMPARE(p.texts("error"), message.isEmpty() ? QStringList() : QStringList(message));
        QVERIFY(p.texts("toplevel").isEmpty());   // never the server's own error
        QCOMPARE(d.userID, userID);
    }

    // The user panel as the login orders it: reset before a wrong password's box, and the
    // expert's name shown even when writing the last-login date fails.
    void userPanelOrder()
    {
        LoggedOut s;
        auto &[p, w, d] = s;
        answer(p, "expert@vetlan.test", "Demo2023");
        w.item("N2")->trigger();
        QCOMPARE(w.userPanel(), QString("РЭ: Соколова Мария Ивановна"));
        QString behindTheBox;
        p.onBox = [&] { behindTheBox = w.userPanel(); };
        answer(p, "expert@vetlan.test", "wrong");
        w.item("N2")->trigger();
        QCOMPARE(behindTheBox, QString("Не авторизованный пользователь"));
        Fixture::exec("CREATE TRIGGER `no_last_enter` BEFORE UPDATE ON `zet_users` FOR EACH ROW "
                      "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT='read only'");
        answer(p, "expert@vetlan.test", "Demo2023");
        w.item("N2")->trigger();
        QVERIFY(p.texts("toplevel").last().contains("read only"));
        QCOMPARE(w.userPanel(), QString("РЭ: Соколова Мария Ивановна"));
        QCOMPARE(d.userID, 1);
    }

    void sessionAcrossAttempts()
    {
        LoggedOut s;
        auto &[p, w, d] = s;
        answer(p, "expert@vetlan.test", "Demo2023");
        w.item("N2")->trigger();
        QCOMPARE(d.userID, 1);
        answer(p, "x", "y", false);                 // cancel keeps the session
        w.item("N2")->trigger();
        QCOMPARE(d.userID, 1);
        // a stored hash of another bcrypt version: the top-level box, the session untouched
        Fixture::exec("UPDATE `zet_users` SET `password`=REPLACE(`password`,'$2a$','$2b$') WHERE `id`=2");
        answer(p, "expert2@vetlan.test", "Demo2024");
        w.item("N2")->trigger();
        QCOMPARE(p.texts("toplevel"), QStringList("Invalid hash string"));
        QCOMPARE(d.userID, 1);
        QCOMPARE(w.userPanel(), QString("РЭ: Соколова Мария Ивановна"));
        // a failed second login logs the first expert out, keeping FIO and LoginUser
        answer(p, "expert@vetlan.test", "wrong");
        w.item("N2")->trigger();
        QCOMPARE(d.userID, -1);
        QCOMPARE(d.FIO, QString("Соколова Мария Ивановна"));
        QCOMPARE(d.LoginUser, QString("expert@vetlan.test"));
    }

    // Typed passwords show as stars in both password fields.
    void passwordsShowAsStars()
    {
        TFormCheckauthorization login;
        TFormChangePassword change;
        login.show();
        change.show();
        QTest::keyClicks(login.Edit2, "Demo");
        QTest::keyClicks(change.EditPassword, "new");
        QCOMPARE(login.Edit2->displayText(), QString("****"));
        QCOMPARE(change.EditPassword->displayText(), QString("***"));
        QCOMPARE(login.Edit2->text(), QString("Demo"));
    }

    // Failures are logged with their command and reason; passwords and hashes never are.
    void failuresLoggedWithoutSecrets()
    {
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(EventLog::path());
        const QString storedHash = Fixture::scalar("SELECT `password` FROM `zet_users` WHERE `id`=2").toString();
        Fixture::exec("UPDATE `zet_users` SET `password`=REPLACE(`password`,'$2a$','$2b$') WHERE `id`=2");
        LoggedOut s;
        auto &[p, w, d] = s;
        answer(p, "expert@vetlan.test", "Geheim-42");
        w.item("N2")->trigger();
        answer(p, "expert2@vetlan.test", "Demo2024");
        w.item("N2")->trigger();
        QFile log(EventLog::path());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY2(text.contains("Авторизация\tНе верный пароль или учетная запись заблокирована"), qPrintable(text));
        QVERIFY2(text.contains("Авторизация\tInvalid hash string"), qPrintable(text));
        for (const QString &secret : {QString("Geheim-42"), QString("Demo2024"), storedHash, storedHash.mid(7)})
            QVERIFY2(!text.contains(secret), qPrintable(secret));
        QVERIFY(!text.contains("$2"));
    }

    // A stored hash of cost 31 would hold the check for hours: refused at once as malformed.
    void highCostHash()
    {
        Fixture::exec("UPDATE `zet_users` SET `password`=REPLACE(`password`,'$2a$10$','$2a$31$') WHERE `id`=2");
        LoggedOut s;
        auto &[p, w, d] = s;
        answer(p, "expert2@vetlan.test", "Demo2024");
        w.item("N2")->trigger();
        QCOMPARE(p.texts("toplevel"), QStringList("Invalid hash string"));
        QCOMPARE(d.userID, -1);
    }

    void emptyPasswordHash()
    {
        Fixture::exec(QString("UPDATE `zet_users` SET `password`='%1' WHERE `id`=2").arg(QString(TBCrypt::HashPassword(""))));
        LoggedOut s;
        auto &[p, w, d] = s;
        answer(p, "expert2@vetlan.test", "");
        w.item("N2")->trigger();
        QCOMPARE(d.userID, 2);
    }

    void announcement_data()
    {
        QTest::addColumn<QString>("row");       // VALUES of (isActive, BodyAdv, ColorCanvas); empty: no row
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("background");
        QTest::newRow("demo RTF with \\'hh escapes") << "" << true
            << "Уважаемые эксперты!\nПроверка работ регионального этапа завершается 25 декабря.\n"
               "Комментарий обязателен для каждого задания ниже максимального балла.\n"
            << QColor(0xFF, 0xF8, 0xF0);   // 15792383 = 00F0F8FF
        QTest::newRow("\\u escapes, red") << "(1, '{\\\\rtf1\\\\ansi\\\\uc1 \\\\u1055?\\\\u1088?\\\\u1080?\\\\u-3913?}', 255)"
            << true << QString("При") + QChar(0xF0B7) << QColor(Qt::red);
        QTest::newRow("plain Cyrillic text") << "(1, 'Проверка до 25 декабря', 16777215)" << true
            << "Проверка до 25 декабря" << QColor(Qt::white);
        QTest::newRow("empty text") << "(1, '', 16777215)" << true << "" << QColor(Qt::white);
        QTest::newRow("switched off") << "(0, '{\\\\rtf1 x}', 255)" << false << "" << QColor();
        QTest::newRow("switch 2 is off") << "(2, '{\\\\rtf1 x}', 255)" << false << "" << QColor();
        QTest::newRow("no row") << "-" << false << "" << QColor();
    }
    void announcement()
    {
        QFETCH(QString, row);
        QFETCH(bool, shown);
        QFETCH(QString, text);
        QFETCH(QColor, background);
        if (!row.isEmpty()) {
            Fixture::exec("DELETE FROM `zet_advertisement1`");
            if (row != "-")
                Fixture::exec("INSERT INTO `zet_advertisement1` (`isActive`, `BodyAdv`, `ColorCanvas`, `roleID`) VALUES "
                              + row.chopped(1) + ", 5)");
        }
        LoggedOut s;
        auto &[p, w, d] = s;
        answer(p, "expert@vetlan.test", "Demo2023");
        w.item("N2")->trigger();
        QCOMPARE(d.userID, 1);
        QVERIFY(p.boxes.isEmpty());
        QCOMPARE(viewed.size(), shown ? 1 : 0);
        if (shown) {
            QCOMPARE(viewed[0].text, text);
            QCOMPARE(viewed[0].background, background);
            // every successful login shows it again
            w.item("N2")->trigger();
            QCOMPARE(viewed.size(), 2);
        }
    }

    // The demo announcement's formatting survives: bold, colour, italic.
    void announcementFormatting()
    {
        TDataER d;
        TFormAnnPrewiew viewer;
        viewer.FormShow();
        const QTextDocument &doc = *viewer.RichEdit1->document();
        QCOMPARE(boldRuns(doc), QStringList({"Уважаемые эксперты!", "25 декабря"}));
        QCOMPARE(formatAt(doc, "25 декабря").foreground().color(), QColor(192, 0, 0));
        QCOMPARE(formatAt(doc, "Уважаемые").fontPointSize(), 16.0);
        QVERIFY(formatAt(doc, "Комментарий").fontItalic());
        QCOMPARE(viewer.windowTitle(), QString("Объявлени") + QChar('e') + " в АИС");
        QCOMPARE(viewer.size(), QSize(695, 422));
    }

    // A many-megabyte announcement is read only up to the limit and says it was cut.
    void longAnnouncementIsCut()
    {
        const QString body = "{\\\\rtf1 " + QString("word ").repeated(600 * 1024) + "\\\\par end}";
        Fixture::exec("UPDATE `zet_advertisement1` SET `BodyAdv`='" + body + "', `isActive`=1");
        LoggedOut s;
        auto &[p, w, d] = s;
        answer(p, "expert@vetlan.test", "Demo2023");
        w.item("N2")->trigger();
        QCOMPARE(viewed.size(), 1);
        QVERIFY(viewed[0].text.endsWith(Rtf::cutNote()));
        QVERIFY(!viewed[0].text.contains("end"));
        // (the reader breaks a run of a thousand characters: one more character each)
        QVERIFY(viewed[0].text.size() <= Rtf::kDefaultLimit * 1001 / 1000 + Rtf::cutNote().size() + 1);
    }
};

QTEST_MAIN(TestLogin)
#include "test_login.moc"

// Login through the real dialog (offscreen) against the real database.
#include <QLineEdit>
#include <QtTest>

#include "RecordingPlatform.h"
#include "TestFixture.h"
#include "app/UnitMainER.h"
#include "data/ADataER.h"
#include "security/Bcrypt.h"
#include "security/UnitCheckauthorization.h"

class TestLogin : public QObject {
    Q_OBJECT

    // Answers the login dialog with a login and a password, or cancels it.
    static void answer(RecordingPlatform &p, const QString &login, const QString &password, bool ok = true)
    {
        p.onDialog = [=](QDialog &d) {
            auto &dlg = static_cast<TFormCheckauthorization &>(d);
            dlg.Edit1->setText(login);
            dlg.Edit2->setText(password);
            return ok ? int(QDialog::Accepted) : int(QDialog::Rejected);
        };
    }

private slots:
    void init() { Fixture::loadDemo(); }

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
        QTest::newRow("login case as typed") << "Expert@Vetlan.test" << "Demo2023" << "" << 1;
    }
    void table()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(int, userID);
        RecordingPlatform p;
        TFormMainER w;
        TDataER d;
        w.attachDataModule(&d);
        answer(p, login, password);
        w.item("N2")->trigger();
        QCOMPARE(p.texts("error"), message.isEmpty() ? QStringList() : QStringList(message));
        QCOMPARE(d.userID, userID);
        if (userID > 0) {
            QCOMPARE(d.FIO, QString("Соколова Мария Ивановна"));
            QCOMPARE(d.LoginUser, login);
            QCOMPARE(w.userPanel(), QString("РЭ: Соколова Мария Ивановна"));
            QVERIFY(w.item("N33")->isEnabled());
            QCOMPARE(Fixture::scalar("SELECT `dateLastEnter` FROM `zet_users` WHERE `id`=1").toDate(), QDate::currentDate());
        } else {
            QCOMPARE(w.userPanel(), QString("Не авторизованный пользователь"));
            QVERIFY(!w.item("N33")->isEnabled());
            QVERIFY(Fixture::scalar("SELECT `dateLastEnter` FROM `zet_users` WHERE `id`=1").isNull());
        }
    }

    void sessionAcrossAttempts()
    {
        RecordingPlatform p;
        TFormMainER w;
        TDataER d;
        w.attachDataModule(&d);
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

    void emptyPasswordHash()
    {
        Fixture::exec(QString("UPDATE `zet_users` SET `password`='%1' WHERE `id`=2").arg(QString(TBCrypt::HashPassword(""))));
        RecordingPlatform p;
        TFormMainER w;
        TDataER d;
        w.attachDataModule(&d);
        answer(p, "expert2@vetlan.test", "");
        w.item("N2")->trigger();
        QCOMPARE(d.userID, 2);
    }
};

QTEST_MAIN(TestLogin)
#include "test_login.moc"

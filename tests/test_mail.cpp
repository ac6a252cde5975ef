// Mail, password change and password recovery against the real database and the local SMTP
// server (STARTTLS required, AUTH LOGIN, letters kept as files).
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QTimeZone>
#include <QtTest>

#include "RecordingPlatform.h"
#include "Session.h"
#include "TestFixture.h"
#include "data/EventLog.h"
#include "app/AnnPrewiew.h"
#include "app/UnitMainER.h"
#include "data/ADataER.h"
#include "security/Bcrypt.h"
#include "security/UnitCheckauthorization.h"
#include "security/UnitPasswords.h"

namespace {

struct Letter {
    QString envelopeTo, subject, from, contentType, body;
};

// RFC 2047 words of a header, decoded and joined.
QString decodeHeader(const QString &value)
{
    static const QRegularExpression word(R"(=\?UTF-8\?B\?([^?]*)\?=)");
    QByteArray utf8;
    auto it = word.globalMatch(value);
    if (!it.hasNext())
        return value;
    while (it.hasNext())
        utf8 += QByteArray::fromBase64(it.next().captured(1).toLatin1());
    return QString::fromUtf8(utf8) + value.mid(value.lastIndexOf("?=") + 2);
}

QList<Letter> letters(const QString &folder = Fixture::lettersDir())
{
    QList<Letter> out;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({"*.eml"}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::ReadOnly);
        const QByteArray raw = f.readAll();
        const qsizetype split = raw.indexOf("\r\n\r\n");
        // unfold the headers, then read them
        const QString head = QString::fromLatin1(raw.left(split)).replace("\r\n ", " ");
        Letter l;
        for (const QString &line : head.split("\r\n")) {
            const QString key = line.section(':', 0, 0), value = line.section(':', 1).trimmed();
            if (key == "X-Envelope-To")
                l.envelopeTo = value;
            else if (key == "Subject")
                l.subject = decodeHeader(value);
            else if (key == "From")
                l.from = decodeHeader(value.left(value.indexOf(" <")).replace("?= =?", "?==?"));
            else if (key == "Content-Type")
                l.contentType = value;
        }
        l.body = QString::fromUtf8(QByteArray::fromBase64(raw.mid(split + 4)));
        out << l;
    }
    return out;
}

QString letterPassword(const Letter &l)
{
    // the password is the second paragraph of the letter as a reader sees it
    return QTextDocumentFragment::fromHtml(l.body).toPlainText().split('\n').value(1);
}

void clearLetters()
{
    QDir dir(Fixture::lettersDir());
    for (const QString &name : dir.entryList({"*.eml"}, QDir::Files))
        dir.remove(name);
}

QString hashOf(const QString &email)
{
    return Fixture::scalar("SELECT `password` FROM `zet_users` WHERE `email`='" + email + "'").toString();
}

int freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort();
}

// One dialog answer per kind of dialog; announcements are closed as they come.
void answerDialogs(RecordingPlatform &p, const QString &login, const QString &password, const QString &typed)
{
    p.onDialog = [=](QDialog &d) {
        if (auto *l = qobject_cast<TFormCheckauthorization *>(&d)) {
            l->Edit1->setText(login);
            l->Edit2->setText(password);
            return int(QDialog::Accepted);
        }
        if (auto *c = qobject_cast<TFormChangePassword *>(&d)) {
            c->EditPassword->setText(typed);
            return int(QDialog::Accepted);
        }
        if (auto *f = qobject_cast<TFormForgotPassword *>(&d)) {
            f->Edit1->setText(typed);
            return int(QDialog::Accepted);
        }
        return int(QDialog::Accepted);
    };
}

struct Station : LoggedOut {
    using LoggedOut::LoggedOut;
    bool login(const QString &login, const QString &password)
    {
        answerDialogs(platform, login, password, {});
        window.item("N2")->trigger();
        return data.userID > 0;
    }
    void change(const QString &typed)
    {
        answerDialogs(platform, {}, {}, typed);
        window.item("N104")->trigger();
    }
    void recover(const QString &typed)
    {
        answerDialogs(platform, {}, {}, typed);
        window.item("N10")->trigger();
    }
};

} // namespace

class TestMail : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        Fixture::loadDemo();
        Fixture::exec("UPDATE `zet_advertisement1` SET `isActive`=0");
        clearLetters();
    }

    void changePassword()
    {
        {
            Station s;
            QVERIFY(s.login("Expert@Vetlan.test", "Demo2023"));
            const QString before = hashOf("expert@vetlan.test");
            s.change("  \t ");
            QCOMPARE(s.platform.texts("error"), QStringList("Не введен новый пароль"));
            QCOMPARE(hashOf("expert@vetlan.test"), before);

            s.change("  a<&b\"ж ");
            QCOMPARE(s.platform.texts("information"),
                     QStringList("На электронную почту expert@vetlan.test Вам отправлен новый пароль."));
            QVERIFY(TBCrypt::CheckPassword("a<&b\"ж", hashOf("expert@vetlan.test").toUtf8()));
            const QList<Letter> sent = letters();
            QCOMPARE(sent.size(), 1);
            QCOMPARE(sent[0].envelopeTo, QString("expert@vetlan.test"));   // the stored address, not as typed
            QCOMPARE(sent[0].subject, QString("Изменение пароля"));
            QCOMPARE(sent[0].contentType, QString("text/html; charset=UTF-8"));
            QCOMPARE(sent[0].from, QString("Образовательный центр \"Ветлан\""));
            QVERIFY(sent[0].body.contains("Ваш новый пароль:"));
            QCOMPARE(letterPassword(sent[0]), QString("a<&b\"ж"));
            QVERIFY(sent[0].body.contains("Это письмо создано автоматически. Не отвечайте на него."));
        }
        Station again;
        QVERIFY(!again.login("expert@vetlan.test", "Demo2023"));
        QVERIFY(!again.login("expert@vetlan.test", "  a<&b\"ж "));
        QVERIFY(again.login("expert@vetlan.test", "a<&b\"ж"));
    }

    void recoveryChecks_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("blanks only") << "   " << "Не введен логин ";
        QTest::newRow("no full stop") << "expert@vetlantest" << "Введенный логин не является адресом электронной почты";
        QTest::newRow("no at sign") << "expert.vetlan.test" << "Введенный логин не является адресом электронной почты";
        QTest::newRow("unknown address") << " nobody.x@vetlan.test " << "Пользователь с логином nobody.x@vetlan.test не найден в БД";
        // a password typed into the login box by mistake: shown, never written to the log
        QTest::newRow("password typed as login") << "Secret.Pa55@x" << "Пользователь с логином Secret.Pa55@x не найден в БД";
        // an attacker's look-alike domains: none of them is the expert's account
        QTest::newRow("accented look-alike") << "expert@vetlán.test" << "Пользователь с логином expert@vetlán.test не найден в БД";
        QTest::newRow("full-width look-alike") << "ｅxpert@vetlan.test" << "Пользователь с логином ｅxpert@vetlan.test не найден в БД";
        QTest::newRow("right-to-left override") << QString("expert@vetlan.test") + QChar(0x202E)
            << QString("Пользователь с логином expert@vetlan.test") + QChar(0x202E) + " не найден в БД";
    }
    void recoveryChecks()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        const QString before = hashOf("expert@vetlan.test");
        QFile::remove(EventLog::path());
        Station s;
        s.recover(typed);
        QCOMPARE(s.platform.texts("error"), QStringList(message));
        QFile log(EventLog::path());
        const QByteArray logged = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        QVERIFY2(TDataER::Trim(typed).isEmpty() || !logged.contains(TDataER::Trim(typed).toUtf8()), logged.constData());
        QVERIFY(letters().isEmpty());
        QCOMPARE(hashOf("expert@vetlan.test"), before);
    }

    void recoverySends_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("canLogIn");
        QTest::newRow("expert") << "expert2@vetlan.test" << true;
        QTest::newRow("participant") << "p1003@school.test" << false;
        QTest::newRow("blocked expert") << "blocked@vetlan.test" << false;
        QTest::newRow("typed in capitals") << "EXPERT2@VETLAN.TEST" << true;
    }
    void recoverySends()
    {
        QFETCH(QString, typed);
        QFETCH(bool, canLogIn);
        const QString email = typed.toLower();   // the stored address
        QString password;
        {
            Station s;
            s.recover("  " + typed + "\t");
            QCOMPARE(s.platform.texts("information"), QStringList("На электронную почту " + email + " Вам отправлен пароль."));
            QCOMPARE(s.data.userID, -1);   // recovery logs nobody in
            const QList<Letter> sent = letters();
            QCOMPARE(sent.size(), 1);
            QCOMPARE(sent[0].envelopeTo, email);
            QCOMPARE(sent[0].subject, QString("Восстановление пароля"));
            QVERIFY(sent[0].body.startsWith("<P align=\"center\"><B>Ваш пароль:</B></P>"));
            password = letterPassword(sent[0]);
            QVERIFY2(QRegularExpression("^[A-Z]{8}$").match(password).hasMatch(), qPrintable(password));
            QVERIFY(TBCrypt::CheckPassword(password, hashOf(email).toUtf8()));
        }
        Station other;
        QCOMPARE(other.login(email, password), canLogIn);
    }

    // When the letter cannot go out, the old password keeps working.
    void recoveryWithoutLetter_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<int>("port");   // 0: the local server
        QTest::newRow("mail server down") << "expert2@vetlan.test" << freePort();
        QTest::newRow("recipient refused") << "someone@nowhere.test" << 0;
    }
    void recoveryWithoutLetter()
    {
        QFETCH(QString, email);
        QFETCH(int, port);
        Fixture::exec("UPDATE `zet_users` SET `email`='" + email + "' WHERE `id`=2");
        Config cfg = Config::get();
        if (port)
            cfg.smtpPort = port;
        {
            Station s(cfg);
            s.recover(email);
            QCOMPARE(s.platform.texts("toplevel").size(), 1);
            QVERIFY(s.platform.texts("toplevel")[0].startsWith("Ошибка отправки письма: "));
            QVERIFY(s.platform.texts("information").isEmpty());
            QVERIFY(letters().isEmpty());
        }
        Station other;
        QVERIFY(other.login(email, "Demo2024"));
    }

    // The mail account's password never travels in the clear or to an unverified server.
    void refusesInsecureServers()
    {
        QTemporaryDir dir;
        const int port = freePort();
        QProcess plain;
        plain.setProcessChannelMode(QProcess::MergedChannels);
        plain.start("/usr/bin/python3", {Fixture::sourceDir() + "/services/mail/smtpd.py", "--no-starttls", "--port",
                                         QString::number(port), "--user", Config::get().smtpUser, "--password",
                                         Config::get().smtpPassword, "--letters", dir.path()});
        QVERIFY(plain.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT([&] { QTcpSocket t; t.connectToHost("127.0.0.1", port); return t.waitForConnected(200); }(), 10000);
        Config cfg = Config::get();
        cfg.smtpPort = port;
        {
            TDataER noTls(cfg);
            QVERIFY_THROWS_EXCEPTION(std::exception, noTls.MailSend("s", "n", "expert@vetlan.test", "b"));
        }
        plain.terminate();
        plain.waitForFinished();
        // the server prints one "AUTH ..." line per authentication attempt
        QVERIFY(!QString::fromUtf8(plain.readAll()).contains(QRegularExpression("(^|\n)AUTH ")));
        QVERIFY(letters(dir.path()).isEmpty());

        // the local CA is not among the system's: its certificate is refused
        Config untrusted = Config::get();
        untrusted.smtpCaFile.clear();
        TDataER d(untrusted);
        QVERIFY_THROWS_EXCEPTION(std::exception, d.MailSend("s", "n", "expert@vetlan.test", "b"));
        QVERIFY(letters().isEmpty());
    }

    void generatedPasswords()
    {
        QCOMPARE(TDataER::generatePassword(-1), QString());
        QCOMPARE(TDataER::generatePassword(0).size(), 1);
        QList<int> counts(26, 0);
        for (int i = 0; i < 2600; ++i) {
            const QString p = TDataER::generatePassword(9);
            QCOMPARE(p.size(), 10);
            for (QChar c : p) {
                QVERIFY(c >= 'A' && c <= 'Z');
                ++counts[c.unicode() - 'A'];
            }
        }
        for (int n : counts)   // 1000 expected per letter
            QVERIFY2(n > 800 && n < 1200, qPrintable(QString::number(n)));
    }
};

QTEST_MAIN(TestMail)
#include "test_mail.moc"

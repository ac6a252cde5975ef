// Password hashing: the published vectors, the stored-string edge cases, and a cross-check of
// random passwords and salts against the system's libxcrypt.
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <crypt.h>

#include "data/VardexError.h"
#include "security/Bcrypt.h"

namespace {
const QByteArray kAbc6 = "$2a$06$If6bvum7DFjUnE9p2uDeDu0YHzrHM6tf.iqN8.yx.jNN1ILEf7h0i";   // "abc", cost 6
const QByteArray kEmpty6 = "$2a$06$DCq7YPn5Rq63x1Lad4cll.TV4S6ytwfsfvkgY8jIucDrjc8deX1s.";  // "", cost 6

QByteArray withAt(QByteArray s, int index, char c)
{
    s[index] = c;
    return s;
}
} // namespace

class TestSecurity : public QObject {
    Q_OBJECT
private slots:
    void selfTest() { QVERIFY(TBCrypt::SelfTest()); }

    void newHashStrings()
    {
        const QByteArray a = TBCrypt::HashPassword("Пароль-1"), b = TBCrypt::HashPassword("Пароль-1");
        QCOMPARE(a.size(), 60);
        QVERIFY(a.startsWith("$2a$10$"));
        QVERIFY(a != b);
        QVERIFY(TBCrypt::CheckPassword("Пароль-1", a));
        QVERIFY(TBCrypt::CheckPassword("Пароль-1", b));
        QVERIFY(!TBCrypt::CheckPassword("Пароль-2", a));
        QVERIFY(TBCrypt::CheckPassword("", TBCrypt::HashPassword("")));
        // the salt comes from a version-4 UUID laid out little-endian: byte 7's high nibble is 4
        QCOMPARE(uint8_t(TBCrypt::GenerateSalt()[7]) >> 4, 4);
    }

    void storedStrings_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("expected");   // "true", "false" or the error text
        QTest::newRow("right password") << "abc" << kAbc6 << "true";
        QTest::newRow("wrong password") << "abd" << kAbc6 << "false";
        QTest::newRow("empty password") << "" << kEmpty6 << "true";
        QTest::newRow("2b") << "abc" << withAt(kAbc6, 2, 'b') << "Invalid hash string";
        QTest::newRow("2y") << "abc" << withAt(kAbc6, 2, 'y') << "Invalid hash string";
        QTest::newRow("2x") << "abc" << withAt(kAbc6, 2, 'x') << "Invalid hash string";
        QTest::newRow("27 chars") << "abc" << kAbc6.left(27) << "Invalid hash string";
        QTest::newRow("capital A parses, never checks") << "abc" << withAt(kAbc6, 2, 'A') << "false";
        QTest::newRow("version 2 parses, never checks") << "abc" << QByteArray("$2$") + kAbc6.mid(4) << "false";
        QTest::newRow("cost 03") << "abc" << withAt(withAt(kAbc6, 4, '0'), 5, '3')
                                 << "Blowfish: Cost (3) must be between 4..31";
        // a stored cost above 16 would freeze the check for hours: refused like any malformed hash
        QTest::newRow("cost 17") << "abc" << withAt(withAt(kAbc6, 4, '1'), 5, '7') << "Invalid hash string";
        QTest::newRow("cost 31") << "abc" << withAt(withAt(kAbc6, 4, '3'), 5, '1') << "Invalid hash string";
        QTest::newRow("cost 32") << "abc" << withAt(withAt(kAbc6, 4, '3'), 5, '2') << "Invalid hash string";
        // a stored string of another length, or a cost that is not two digits, is damaged
        QTest::newRow("trailing character") << "abc" << kAbc6 + "x" << "Invalid hash string";
        QTest::newRow("cut to 59") << "abc" << kAbc6.left(59) << "Invalid hash string";
        QTest::newRow("salt only") << "abc" << kAbc6.left(29) << "Invalid hash string";
        QTest::newRow("cost +6") << "abc" << withAt(kAbc6, 4, '+') << "Invalid hash string";
        QTest::newRow("cost blank 6") << "abc" << withAt(kAbc6, 4, ' ') << "Invalid hash string";
        QTest::newRow("version 2, 60 characters") << "abc" << QByteArray("$2$") + kAbc6.mid(4) + "x" << "Invalid hash string";
        QTest::newRow("non-canonical salt end") << "abc" << withAt(kAbc6, 28, 'v') << "false";
        QTest::newRow("plus in salt") << "abc" << withAt(kAbc6, 10, '+') << "Invalid base64 hash string";
        QTest::newRow("equals in salt") << "abc" << withAt(kAbc6, 12, '=') << "Invalid base64 hash string";
        QTest::newRow("non-ASCII in salt") << "abc" << withAt(kAbc6, 12, char(0xD0)) << "Invalid base64 hash string";
    }
    void storedStrings()
    {
        QFETCH(QString, password);
        QFETCH(QByteArray, stored);
        QFETCH(QString, expected);
        QString outcome;
        try {
            outcome = TBCrypt::CheckPassword(password, stored) ? "true" : "false";
        } catch (const VardexError &e) {
            outcome = e.message();
        }
        QCOMPARE(outcome, expected);
    }

    void keyDerivation_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        const QString ascii55(55, 'a'), zh27(27, QChar(0x0436));   // ж is two bytes: 54 bytes
        QTest::newRow("differ after byte 55") << ascii55 + "x" << ascii55 + "y" << true;
        QTest::newRow("differ at byte 55") << QString(54, 'a') + "x" << QString(54, 'a') + "y" << false;
        // з (D0 B7) and ж (D0 B6) share the byte that falls at position 55
        QTest::newRow("cut inside a Cyrillic letter") << zh27 + QChar(0x0437) << zh27 + QChar(0x0436) << true;
        QTest::newRow("unpaired surrogate is U+FFFD") << QString(QChar(0xD800)) + "x" << QString(QChar(0xFFFD)) + "x" << true;
        QTest::newRow("surrogate pair is one letter") << QString::fromUtf8("😀") << QString(QChar(0xFFFD)) + QChar(0xFFFD) << false;
    }
    void keyDerivation()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        const QByteArray salt = TBCrypt::GenerateSalt();
        QCOMPARE(TBCrypt::HashPassword(a, salt, 4) == TBCrypt::HashPassword(b, salt, 4), same);
    }

    void errors()
    {
        QVERIFY_THROWS_EXCEPTION(VardexError, TBCrypt::BsdBase64Encode("ab", 3));
        QVERIFY_THROWS_EXCEPTION(VardexError, TBCrypt::BsdBase64Decode("abcde"));
        QVERIFY_THROWS_EXCEPTION(VardexError, TBCrypt::EksBlowfishSetup(10, QByteArray(15, 'x'), "k"));
        QVERIFY_THROWS_EXCEPTION(VardexError, TBCrypt::EksBlowfishSetup(10, QByteArray(16, 'x'), QByteArray(57, 'k')));
        QVERIFY(TBCrypt::CheckPassword("abc", TBCrypt::BsdBase64Decode("If6bvum7DFjUnE9p2uDeDu"),
                                       TBCrypt::HashPassword("abc", TBCrypt::BsdBase64Decode("If6bvum7DFjUnE9p2uDeDu"), 6), 6));
    }

    // Our strings equal libxcrypt's for the same "$2a$" settings: random passwords of 0 to 55
    // UTF-8 bytes (Cyrillic included) and random salts at costs 4 to 6.
    void matchesLibxcrypt()
    {
        const quint32 seed = QRandomGenerator::system()->generate();
        QRandomGenerator rng(seed);
        crypt_data data{};
        for (int n = 0; n < 300; ++n) {
            QString password;
            const int target = rng.bounded(56);
            while (true) {
                const QChar c = rng.bounded(3) == 0 ? QChar(0x0410 + rng.bounded(64)) : QChar(0x20 + rng.bounded(95));
                if ((password + c).toUtf8().size() > target)
                    break;
                password += c;
            }
            QByteArray salt(16, '\0');
            for (auto &b : salt)
                b = char(rng.bounded(256));
            const int cost = 4 + rng.bounded(3);
            const QByteArray ours = TBCrypt::FormatPasswordHashForBsd(cost, salt, TBCrypt::HashPassword(password, salt, cost));
            const QByteArray setting = ours.left(29);
            const char *theirs = crypt_rn(password.toUtf8().constData(), setting.constData(), &data, sizeof data);
            QVERIFY2(theirs, "libxcrypt refused the setting");
            QVERIFY2(ours == QByteArray(theirs), qPrintable(QString("seed %1, password \"%2\"").arg(seed).arg(password)));
        }
    }

    void passwdTool()
    {
        const QString tool = QCoreApplication::applicationDirPath() + "/../vardex-passwd";
        auto run = [&](const QStringList &args, const QByteArray &input, QByteArray *output = nullptr) {
            QProcess p;
            p.start(tool, args);
            p.write(input);
            p.closeWriteChannel();
            p.waitForFinished(30000);
            if (output)
                *output = p.readAllStandardOutput().trimmed();
            return p.exitCode();
        };
        QByteArray hash;
        QCOMPARE(run({}, "Demo 2023 ж\n", &hash), 0);
        QCOMPARE(hash.size(), 60);
        QCOMPARE(run({"--check", hash}, "Demo 2023 ж\n"), 0);
        QCOMPARE(run({"--check", hash}, "Demo 2023 ж \n"), 1);
        QCOMPARE(run({"--check", "$2b$10$abc"}, "x\n"), 2);
        QCOMPARE(run({"--self-test"}, ""), 0);
    }
};

QTEST_GUILESS_MAIN(TestSecurity)
#include "test_security.moc"

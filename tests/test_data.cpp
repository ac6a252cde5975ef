// The data module against the real MariaDB: connection and its errors, network profiles, the
// named queries of the catalogue, and the shared helpers.
#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include "TestFixture.h"
#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/SqlCatalogue.h"
#include "data/VardexError.h"

class TestData : public QObject {
    Q_OBJECT

private:
    static QString creationMessage(const TDataER &d)
    {
        try {
            if (d.creationError())
                std::rethrow_exception(d.creationError());
        } catch (const VardexError &e) {
            return e.message();
        }
        return {};
    }

private slots:
    void initTestCase() { Fixture::loadDemo(); }

    void connectionErrors_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("serverText");
        const Config &cfg = Config::get();
        QTest::newRow("wrong password") << "wrong" << cfg.dbPort
            << "DBConnection Error. User name or password are incorrect\r\n\r\n" << "Access denied";
        QTest::newRow("refused port") << cfg.dbPasswordPlain << 1
            << "DBConnection Error. DBMS is not accessible due to some reason\r\n\r\n" << "";
    }
    void connectionErrors()
    {
        QFETCH(QString, password);
        QFETCH(int, port);
        QFETCH(QString, prefix);
        QFETCH(QString, serverText);
        Config cfg = Config::get();
        cfg.dbPasswordPlain = password;
        cfg.dbPort = port;
        TDataER d(cfg);
        const QString message = creationMessage(d);
        QVERIFY2(message.startsWith(prefix + "EMySQLNativeException поднята ошибка, с сообщением : "),
                 qPrintable(message));
        QVERIFY(message.contains(serverText));
        QVERIFY(!d.connected());
        // A query on the closed connection fails instead of reconnecting.
        QVERIFY_THROWS_EXCEPTION(VardexError, d.query("GETarea")->open());
    }

    void unknownHostIsNotAccessible()
    {
        Config cfg = Config::get();
        cfg.dbHost = "no-such-host.invalid";
        TDataER d(cfg);
        QVERIFY(creationMessage(d).startsWith("DBConnection Error. DBMS is not accessible due to some reason\r\n\r\n"));
    }

    void goodProfileAndNetworkChange()
    {
        TDataER d;
        QVERIFY(!d.creationError());
        QVERIFY(d.connected());
        QCOMPARE(d.userID, -1);
        QVERIFY(d.FIO.isEmpty());
        QSignalSpy up(&d, &TDataER::afterConnect), down(&d, &TDataER::afterDisconnect);
        QVERIFY(d.connectDB());                       // already open: nothing fires
        QCOMPARE(up.count() + down.count(), 0);
        QVERIFY(d.changeNET(1));
        QCOMPARE(down.count(), 1);
        QCOMPARE(up.count(), 1);
        const Config &cfg = Config::get();
        const QStringList expected = {
            "Server=" + cfg.dbIntranetHost, "Database=sorev", "User_Name=sorev", "Password=" + cfg.dbPasswordPlain,
            "Port=" + QString::number(cfg.dbIntranetPort), "DriverName=MySQL", "DriverID=MySQL",
            "CharacterSet=utf8", "Compress=false", "TinyIntFormat=tifBoolean"};
        QCOMPARE(d.connectionParams(), expected);
        QCOMPARE(d.profile(0).Port, "Port=" + QString::number(cfg.dbPort));
        d.query("GETarea")->open();
        QVERIFY(d.query("GETarea")->recordCount() > 0);
    }

    // Sorting the rows held gives what the ascending ORDER BY of the same field gives, except that
    // digits in a text go by value ("9" before "11", where SQL puts "11" first).
    void sortingInMemoryMatchesSql_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("param");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("field");
        QTest::newRow("works by name") << "GETloadWork" << "eduID" << 1 << "fio";
        QTest::newRow("works by area") << "GETloadWork" << "eduID" << 2 << "name";

        QTest::newRow("scoring list by code") << "GETestimate" << "userID" << 1 << "user_id";
    }
    void sortingInMemoryMatchesSql()
    {
        QFETCH(QString, query);
        QFETCH(QString, param);
        QFETCH(int, value);
        QFETCH(QString, field);
        TDataER d;
        NamedQuery *q = d.query(query);
        const QStringList sql = q->sql();
        auto column = [&] {
            QStringList out;
            for (int r = 0; r < q->recordCount(); ++r)
                out << q->value(r, field).toString();
            return out;
        };
        q->setParam(param, value);
        q->open();
        q->sortRows(field);
        const QStringList inMemory = column();
        d.SortSQL(q, field);
        QCOMPARE(inMemory, column());
        QVERIFY(inMemory.size() > 1);
        q->close();
        q->setSQL(sql);
    }

    void sortingTextDigitsByValue()
    {
        TDataER d;
        NamedQuery *q = d.query("GETestimate");
        q->setParam("userID", 1);
        q->open();
        q->sortRows("classStudy");
        QStringList classes;
        for (int r = 0; r < q->recordCount(); ++r)
            classes << q->value(r, "classStudy").toString();
        QCOMPARE(classes, QStringList({"9", "9", "9", "9", "11", "11"}));
        q->close();
    }

    void sortReplacesOnlyTheLastLine()
    {
        TDataER d;
        NamedQuery *q = d.query("GETloadWork");
        const QStringList before = q->sql();
        q->setParam("eduID", 1);
        q->open();
        QCOMPARE(q->value(0, "fio").toString(), QString("Иванов Иван Иванович"));
        d.SortSQL(q, "name");
        QCOMPARE(q->sql().mid(0, before.size() - 1), before.mid(0, before.size() - 1));
        QCOMPARE(q->sql().last(), QString("ORDER BY name"));
        QCOMPARE(q->param("EDUID").toInt(), 1);       // parameters kept, names match in any case
        QCOMPARE(q->recordCount(), 3);
        QCOMPARE(q->value(0, "name").toString(), QString("Заречный район"));
        QVERIFY_THROWS_EXCEPTION(VardexError, d.SortSQL(q, "noSuchField"));
        QVERIFY(!q->active());
        d.SortSQL(q, "fio");
    }

    // Every statement of the catalogue prepares and runs against the schema: a misspelt column
    // fails here before any window runs it. Writing statements run inside a rolled-back transaction.
    void catalogueRuns_data()
    {
        QTest::addColumn<QString>("name");
        for (const QueryDef &def : sqlCatalogue())
            QTest::newRow(qPrintable(def.name)) << def.name;
        QTest::newRow("runtime permissions") << "@permissions";
        QTest::newRow("runtime version") << "@version";
        QTest::newRow("runtime count additional") << "@count5add";
        QTest::newRow("runtime insert additional") << "@insert5add";
        QTest::newRow("runtime delete areas") << "@deleteAreas";
        QTest::newRow("runtime insert areas") << "@insertAreas";
    }
    void catalogueRuns()
    {
        QFETCH(QString, name);
        TDataER d;
        NamedQuery *q = d.emptySQL;
        if (name == "@permissions") q->setSQL(RuntimeSql::permissions());
        else if (name == "@version") q->setSQL(RuntimeSql::updateVersion());
        else if (name == "@count5add") q->setSQL(RuntimeSql::countAdditionalData(1));
        else if (name == "@insert5add") q->setSQL(RuntimeSql::insertAdditionalData(2));
        else if (name == "@deleteAreas") q->setSQL(RuntimeSql::deleteSubjectAreas(1));
        else if (name == "@insertAreas") q->setSQL(RuntimeSql::insertSubjectAreas(1, {1, 3}));
        else q = d.query(name);
        for (const ParamDecl &p : q->params()) {
            switch (p.kind) {
            case ParamKind::Integer: q->setParam(p.name, 1); break;
            case ParamKind::Date: q->setParam(p.name, QDate(2024, 1, 15)); break;
            case ParamKind::Float: q->setParam(p.name, 1.5); break;
            default: q->setParam(p.name, p.name.startsWith("NEWpassword", Qt::CaseInsensitive) ? "x" : "expert@vetlan.test");
            }
        }
        const QString first = q->sql().join(' ').trimmed().section(' ', 0, 0).toUpper();
        if (first == "SELECT") {
            q->open();
            QVERIFY(q->active());
            QVERIFY(q->header().count() > 0);
        } else {
            d.startTransaction();
            try {
                q->execSQL();
            } catch (const VardexError &e) {
                d.rollback();
                QFAIL(qPrintable(e.message()));
            }
            d.rollback();
        }
    }

    // Values reach the server as literals in the statement's text: whatever a value holds, it is
    // stored and read back as itself, also when the server does not take backslash escapes.
    void valuesTravelAsData_data()
    {
        QTest::addColumn<QString>("sqlMode");
        QTest::newRow("default mode") << "";
        QTest::newRow("no backslash escapes") << "NO_BACKSLASH_ESCAPES";
    }
    void valuesTravelAsData()
    {
        QFETCH(QString, sqlMode);
        TDataER d;
        NamedQuery *q = d.emptySQL;
        const auto exec = [&](const QString &sql) { q->close(); q->setSQL({sql}); q->execSQL(); };
        exec("SET SESSION sql_mode = '" + sqlMode + "'");
        // the escaping is under test here, not the table's character set
        exec("CREATE TEMPORARY TABLE probe (n INT, s TEXT, i BIGINT, f DOUBLE, d DATE) CHARACTER SET utf8mb4");
        const QStringList texts{
            "O'Brien", "back\\slash\\", "\\'; DROP TABLE probe; -- ", QString("nul") + QChar(0) + "byte",
            "ctrl-z \x1a", "quote \" and `tick`", "placeholder :s and ? inside",
            "Ёлка 😀 \u202e", "\\", "'", QString(),
        };
        NamedQuery insert("probe", {"INSERT INTO probe VALUES (:n, :s, :i, :f, :d)"},
                          {{"n", ParamKind::Integer}, {"s", ParamKind::Memo}, {"i", ParamKind::Integer},
                           {"f", ParamKind::Float}, {"d", ParamKind::Date}},
                          TDataER::connectionName());
        for (int n = 0; n < texts.size(); ++n) {
            q = &insert;
            q->setParam("n", n);
            q->setParam("s", texts[n]);
            q->setParam("i", n % 2 ? QVariant(-9007199254740993LL) : QVariant());
            q->setParam("f", n % 2 ? QVariant(0.1 + n) : QVariant(qQNaN()));
            q->setParam("d", n % 2 ? QVariant(QDate(2024, 2, 29)) : QVariant(QDate()));
            q->execSQL();
            QCOMPARE(q->rowsAffected(), 1);
        }
        q = d.emptySQL;
        q->close();
        q->setSQL({"SELECT n, s, i, f, d FROM probe ORDER BY n"});
        q->open();
        QCOMPARE(q->recordCount(), texts.size());
        for (int n = 0; n < texts.size(); ++n) {
            QCOMPARE(q->value(n, "s").toString(), texts[n].isNull() ? QString() : texts[n]);
            QCOMPARE(q->value(n, "s").isNull(), texts[n].isNull());
            if (n % 2) {
                QCOMPARE(q->value(n, "i").toLongLong(), -9007199254740993LL);
                QCOMPARE(q->value(n, "f").toDouble(), 0.1 + n);
                QCOMPARE(q->value(n, "d").toDate(), QDate(2024, 2, 29));
            } else {
                QVERIFY(q->value(n, "i").isNull());
                QVERIFY(q->value(n, "f").isNull());
                QVERIFY(q->value(n, "d").isNull());
            }
        }
        q->close();
        exec("DROP TEMPORARY TABLE probe");
    }

    // Finding an account reads the address index, in whatever character set the table is.
    void accountLookupsUseTheAddressIndex()
    {
        TDataER d;
        for (const char *name : {"Qauthorization", "ForgotPassword"}) {
            QString sql = d.query(name)->sql().join('\n');
            sql.replace(QRegularExpression(":[A-Za-z]+"), "'expert@vetlan.test'");
            const QStringList plan = Fixture::rows("EXPLAIN " + sql);
            QCOMPARE(plan.size(), 1);
            QVERIFY2(plan.first().section('|', 5, 5).split(',').contains("email"), qPrintable(plan.first()));
        }
    }

    // A statement is one statement: text that stacks a second one is refused by the server,
    // and the connection speaks the UTF-8 the escaped literals are written in.
    void oneStatementAtATime()
    {
        TDataER d;
        NamedQuery *q = d.emptySQL;
        q->setSQL({"SELECT 1; DELETE FROM `zet_users`"});
        QVERIFY_THROWS_EXCEPTION(VardexError, q->open());
        QVERIFY(Fixture::scalar("SELECT COUNT(*) FROM `zet_users`").toInt() > 0);
        q->setSQL({"SELECT @@character_set_client AS c"});
        q->open();
        QCOMPARE(q->field("c").toString(), QString("utf8mb4"));
        q->close();
    }

    // Another workstation stores the expert's sheet for the work while this save runs, past the
    // row lock (as a cluster's other node does): one sheet stands, and this save is told the work
    // is scored already.
    void aSheetIsStoredOnce()
    {
        Fixture::loadDemo();
        TDataER d;
        const int work = 1, expert = 1;
        const QStringList tasks = Fixture::rows("SELECT E.`id` FROM `zet_evaluationsystem` E JOIN `zet_untestedwork` U ON "
                                                "E.`educationlListID`=U.`educationallistID` AND E.`periodID`=U.`period_id` "
                                                "WHERE U.`id`=1 ORDER BY E.`id`");
        QVERIFY(tasks.size() >= 2);
        QList<TaskScore> scores;
        for (const QString &task : tasks)
            scores.append({task.toInt(), 0, QStringLiteral("нет решения")});
        const QString of = Fixture::rows(QString("SELECT `educationallistID`, `period_id` FROM `zet_untestedwork` WHERE `id`=%1").arg(work)).value(0);
        bool stored = false;
        const ScoreSave outcome = saveScores(work, expert, scores, [&](int done) {
            if (done != 1 || stored)
                return;
            stored = true;   // the other workstation's sheet: its second task's row comes first
            Fixture::exec(QString("INSERT INTO `zet_result`(`educationlListID`, `periodID`, `expertID`, `evalutionsystemID`, "
                                  "`estimate`, `commentestimate`, `untestedworkID`) VALUES (%1, %2, %3, %4, 1, 'другой', %5)")
                              .arg(of.section('|', 0, 0), of.section('|', 1, 1)).arg(expert).arg(tasks[1]).arg(work));
        });
        QVERIFY(stored);
        QCOMPARE(outcome, ScoreSave::AlreadyScored);
        QCOMPARE(Fixture::rows(QString("SELECT `evalutionsystemID`, `commentestimate` FROM `zet_result` WHERE `untestedworkID`=%1 "
                                       "AND `expertID`=%2").arg(work).arg(expert)),
                 QStringList(tasks[1] + "|другой"));
        // the database refuses a second result for the task whatever writes it
        QSqlQuery again(Fixture::db());
        QVERIFY(!again.exec(QString("INSERT INTO `zet_result`(`periodID`, `expertID`, `evalutionsystemID`, `estimate`, "
                                    "`untestedworkID`) VALUES (%1, %2, %3, 0, %4)")
                                .arg(of.section('|', 1, 1)).arg(expert).arg(tasks[1]).arg(work)));
        QCOMPARE(again.lastError().nativeErrorCode(), QString("1062"));
    }

    void demoAccountsAreUtf8()
    {
        TDataER d;
        NamedQuery *q = d.query("Qauthorization");
        q->setParam("login", "expert@vetlan.test");
        q->open();
        QCOMPARE(q->recordCount(), 1);
        QCOMPARE(q->field("fio").toString(), QString("Соколова Мария Ивановна"));
        QVERIFY(q->field("password").toString().startsWith("$2a$10$"));
    }
};

QTEST_MAIN(TestData)
#include "test_data.moc"

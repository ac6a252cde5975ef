#include "TestFixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QtTest>

#include "data/Config.h"
#include "data/DraftStore.h"
#include "evaluation/ScanPane.h"

namespace Fixture {

QSqlDatabase db()
{
    const QString name = QStringLiteral("fixture");
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    const Config &cfg = Config::get();
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    d.setHostName(cfg.dbHost);
    d.setPort(cfg.dbPort);
    d.setUserName(QStringLiteral("sorev"));
    d.setPassword(cfg.dbPasswordPlain);
    d.setDatabaseName(QStringLiteral("sorev"));
    if (!d.open())
        qFatal("fixture: cannot connect to the test database: %s", qPrintable(d.lastError().text()));
    return d;
}

void exec(const QString &sql)
{
    QSqlQuery q(db());
    if (!q.exec(sql))
        qFatal("fixture: %s\n%s", qPrintable(q.lastError().text()), qPrintable(sql));
}

QVariant scalar(const QString &sql)
{
    QSqlQuery q(db());
    if (!q.exec(sql))
        qFatal("fixture: %s\n%s", qPrintable(q.lastError().text()), qPrintable(sql));
    return q.next() ? q.value(0) : QVariant();
}

QStringList rows(const QString &sql)
{
    QSqlQuery q(db());
    if (!q.exec(sql))
        qFatal("fixture: %s\n%s", qPrintable(q.lastError().text()), qPrintable(sql));
    QStringList out;
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < q.record().count(); ++i)
            values << q.value(i).toString();
        out << values.join(QLatin1Char('|'));
    }
    return out;
}

void resetAll()
{
    // the workstation's local state goes too: typed drafts and cached scans
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(DraftStore::defaultPath() + QLatin1String(suffix));
    QDir(ScanPane::cacheFolder()).removeRecursively();
    QSqlQuery q(db());
    q.exec(QStringLiteral("SELECT `table_name` FROM information_schema.tables WHERE `table_schema`='sorev' "
                          "AND `table_type`='BASE TABLE'"));
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    exec(QStringLiteral("SET foreign_key_checks=0"));
    for (const QString &t : tables)
        exec(QStringLiteral("TRUNCATE TABLE `%1`").arg(t));
    exec(QStringLiteral("SET foreign_key_checks=1"));
    QSqlQuery triggers(db());
    triggers.exec(QStringLiteral("SELECT `trigger_name` FROM information_schema.triggers WHERE `trigger_schema`='sorev'"));
    while (triggers.next())
        exec(QStringLiteral("DROP TRIGGER `%1`").arg(triggers.value(0).toString()));
}

void loadDemo()
{
    resetAll();
    const Config &cfg = Config::get();
    QProcess client;
    client.setStandardInputFile(sourceDir() + QStringLiteral("/services/db/demo.sql"));
    client.start(QStringLiteral("mariadb"),
                 {QStringLiteral("--no-defaults"), QStringLiteral("-h"), cfg.dbHost, QStringLiteral("-P"),
                  QString::number(cfg.dbPort), QStringLiteral("-usorev"), QStringLiteral("-p") + cfg.dbPasswordPlain,
                  QStringLiteral("--default-character-set=utf8mb4"), QStringLiteral("sorev")});
    if (!client.waitForFinished(60000) || client.exitCode() != 0)
        qFatal("fixture: loading the demo data failed: %s", client.readAllStandardError().constData());
}

namespace {
void runScript(const char *variable)
{
    QProcess script;
    script.start(QStringLiteral("bash"), {qEnvironmentVariable(variable)});
    if (!script.waitForFinished(90000) || script.exitCode() != 0)
        qFatal("fixture: %s failed: %s", variable, script.readAllStandardError().constData());
}

void reconnectFixture()
{
    QSqlDatabase d = db();   // the fixture's own connection went with the server
    d.close();
    if (!d.open())
        qFatal("fixture: cannot connect to the test database: %s", qPrintable(d.lastError().text()));
}
} // namespace

void restartDatabase()
{
    runScript("VARDEX_TEST_DB_RESTART");
    reconnectFixture();
}

void stopDatabase() { runScript("VARDEX_TEST_DB_STOP"); }

void startDatabase()
{
    runScript("VARDEX_TEST_DB_UP");
    reconnectFixture();
}

QString sourceDir() { return QStringLiteral(VARDEX_SOURCE_DIR); }
QString filesRoot() { return qEnvironmentVariable("VARDEX_TEST_FILES_ROOT"); }
QString lettersDir() { return qEnvironmentVariable("VARDEX_TEST_LETTERS"); }

} // namespace Fixture

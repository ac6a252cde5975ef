#include "TestFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QtTest>

#include "data/Config.h"
#include "data/CheckedCopies.h"
#include "data/DraftStore.h"
#include "data/NamedQuery.h"
#include "data/ScanSource.h"

namespace Fixture {

// As root over the server's socket: what the workstation's account may not do.
void rootSql(const QString &sql)
{
    QProcess client;
    client.start(QStringLiteral("mariadb"), {QStringLiteral("--no-defaults"), QStringLiteral("-uroot"),
                                             QStringLiteral("--socket=") + qEnvironmentVariable("VARDEX_TEST_DB_SOCKET"),
                                             QStringLiteral("--default-character-set=utf8mb4"), QStringLiteral("sorev"),
                                             QStringLiteral("-e"), sql});
    if (!client.waitForFinished(120000) || client.exitCode() != 0)
        qFatal("fixture: %s\n%s", client.readAllStandardError().constData(), qPrintable(sql));
}

QString rootScalar(const QString &sql)
{
    QProcess client;
    client.start(QStringLiteral("mariadb"), {QStringLiteral("--no-defaults"), QStringLiteral("-uroot"), QStringLiteral("-N"),
                                             QStringLiteral("--socket=") + qEnvironmentVariable("VARDEX_TEST_DB_SOCKET"),
                                             QStringLiteral("sorev"), QStringLiteral("-e"), sql});
    if (!client.waitForFinished(60000) || client.exitCode() != 0)
        qFatal("fixture: %s\n%s", client.readAllStandardError().constData(), qPrintable(sql));
    return QString::fromUtf8(client.readAllStandardOutput()).trimmed();
}

namespace {

const char *const kStrictModes = "STRICT_ALL_TABLES,ONLY_FULL_GROUP_BY,NO_ZERO_DATE,NO_ZERO_IN_DATE,"
                                 "ERROR_FOR_DIVISION_BY_ZERO,NO_ENGINE_SUBSTITUTION";

void applySqlMode()
{
    rootSql(schemaVariant() == QLatin1String("utf8mb4") ? QStringLiteral("SET GLOBAL sql_mode=DEFAULT")
                                                        : QStringLiteral("SET GLOBAL sql_mode='%1'").arg(QLatin1String(kStrictModes)));
}

// The tables as a centre's older database has them: the schema loaded anew, then every table
// converted to the variant's character set, under a strict server. The default variant is our
// own schema as it stands.
void prepareSchema()
{
    const QString wanted = schemaVariant();
    // another user than the server's (the installed-program test) cannot reach its socket: our
    // schema as it stands is all it can have
    if (!QFileInfo::exists(qEnvironmentVariable("VARDEX_TEST_DB_SOCKET")) && wanted == QLatin1String("utf8mb4"))
        return;
    applySqlMode();
    const QString have = rootScalar(QStringLiteral("SELECT CCSA.CHARACTER_SET_NAME FROM information_schema.TABLES T JOIN "
                                                   "information_schema.COLLATION_CHARACTER_SET_APPLICABILITY CCSA ON "
                                                   "CCSA.COLLATION_NAME=T.TABLE_COLLATION WHERE T.TABLE_SCHEMA='sorev' AND "
                                                   "T.TABLE_NAME='zet_users'"));
    if (have == wanted)
        return;
    QFile schema(sourceDir() + QStringLiteral("/services/db/schema.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        qFatal("fixture: no schema.sql");
    const QString tables = rootScalar(QStringLiteral("SELECT GROUP_CONCAT(CONCAT('`',table_name,'`')) FROM "
                                                     "information_schema.tables WHERE table_schema='sorev'"));
    QString sql = QStringLiteral("SET foreign_key_checks=0;");
    if (!tables.isEmpty() && tables != QLatin1String("NULL"))
        sql += QStringLiteral("DROP TABLE IF EXISTS ") + tables + QLatin1Char(';');
    sql += QString::fromUtf8(schema.readAll());
    sql += wanted == QLatin1String("utf8mb4") ? QStringLiteral(";ALTER DATABASE sorev CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;")
                                              : QStringLiteral(";ALTER DATABASE sorev CHARACTER SET %1;").arg(wanted);
    rootSql(sql);
    if (wanted != QLatin1String("utf8mb4")) {
        const QStringList names = rootScalar(QStringLiteral("SELECT GROUP_CONCAT(table_name) FROM information_schema.tables "
                                                            "WHERE table_schema='sorev'")).split(QLatin1Char(','));
        QString convert;
        for (const QString &t : names)
            convert += QStringLiteral("ALTER TABLE `%1` CONVERT TO CHARACTER SET %2;").arg(t, wanted);
        rootSql(convert);
    }
}

} // namespace

QString schemaVariant()
{
    const QString v = qEnvironmentVariable("VARDEX_TEST_SCHEMA");
    return v.isEmpty() ? QStringLiteral("utf8mb4") : v;
}

QSqlDatabase db()
{
    const QString name = QStringLiteral("fixture");
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    prepareSchema();
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
    QDir(ScanSource::cacheFolder()).removeRecursively();
    QDir(CheckedCopies::queueFolder()).removeRecursively();
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
    // an unprivileged run (the installed-program test) may not read the checkout: it is given a copy
    const QString demo = qEnvironmentVariable("VARDEX_TEST_DEMO_SQL", sourceDir() + QStringLiteral("/services/db/demo.sql"));
    client.setStandardInputFile(demo);
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
    applySqlMode();   // a server's global settings go with it
    reconnectFixture();
}

void stopDatabase() { runScript("VARDEX_TEST_DB_STOP"); }

void startDatabase()
{
    runScript("VARDEX_TEST_DB_UP");
    applySqlMode();
    reconnectFixture();
}

void stopFiles() { runScript("VARDEX_TEST_FILES_STOP"); }
void startFiles() { runScript("VARDEX_TEST_FILES_UP"); }

QString holdable(const QString &text)
{
    const QString charset = schemaVariant();
    QSqlQuery q(db());
    const QString literal = NamedQuery::textLiteral(text, db().driver());
    if (!q.exec(QStringLiteral("SELECT CAST(CONVERT(CONVERT(%1 USING utf8mb4) USING %2) AS CHAR CHARACTER SET utf8mb4)")
                    .arg(literal, charset))
        || !q.next())
        qFatal("fixture: %s", qPrintable(q.lastError().text()));
    const QList<uint> back = q.value(0).toString().toUcs4(), original = text.toUcs4();
    QList<uint> kept;
    for (int i = 0; i < original.size(); ++i)
        if (i < back.size() && back[i] == original[i])
            kept << original[i];
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(kept.constData()), kept.size());
}

QString unholdable(const QString &text)
{
    const QList<uint> kept = holdable(text).toUcs4();
    QList<uint> refused;
    for (const uint c : text.toUcs4())
        if (!kept.contains(c) && !refused.contains(c))
            refused << c;
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(refused.constData()), refused.size());
}

QString sourceDir() { return QStringLiteral(VARDEX_SOURCE_DIR); }
QString filesRoot() { return qEnvironmentVariable("VARDEX_TEST_FILES_ROOT"); }
QString lettersDir() { return qEnvironmentVariable("VARDEX_TEST_LETTERS"); }

} // namespace Fixture

CutProxy::CutProxy() : m_process(new QProcess)
{
    m_armFile = QDir::temp().filePath(QStringLiteral("vardex-cut-%1").arg(QCoreApplication::applicationPid()));
    QFile::remove(m_armFile);
    m_process->start(QStringLiteral("python3"), {Fixture::sourceDir() + QStringLiteral("/tests/cut_proxy.py"),
                                                 QString::number(Config::get().dbPort), m_armFile});
    if (!m_process->waitForReadyRead(20000))
        qFatal("fixture: the cut proxy did not start");
    m_port = m_process->readLine().trimmed().toInt();
}

CutProxy::~CutProxy()
{
    m_process->kill();
    m_process->waitForFinished(5000);
    delete m_process;
    QFile::remove(m_armFile);
}

void CutProxy::arm(const QString &mode)
{
    QFile f(m_armFile);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("fixture: cannot arm the cut proxy");
    f.write(mode.toUtf8());
}

bool CutProxy::fired() const
{
    return !QFile::exists(m_armFile);
}

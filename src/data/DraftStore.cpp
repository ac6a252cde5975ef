#include "data/DraftStore.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include "data/Config.h"
#include "data/PrivateFiles.h"

namespace {

QAtomicInt counter;

bool run(QSqlQuery &q, const QString &sql, const QVariantList &values = {})
{
    if (!q.prepare(sql))
        return false;
    for (const QVariant &v : values)
        q.addBindValue(v);
    return q.exec();
}

} // namespace

QString DraftStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/drafts.sqlite");
}

DraftStore::DraftStore(const QString &path)
    : m_connection(QStringLiteral("vardex-drafts-%1").arg(counter.fetchAndAddRelaxed(1)))
{
    makePrivateFolder(QFileInfo(path).absolutePath());
    // made private before SQLite writes into it (its journals take the file's permissions), and
    // never through a link planted in its place: SQLite would write wherever that points
    if (!PrivateFiles::ensure(path)) {
        m_openFailure = QStringLiteral("%1 не обычный файл (ссылка или папка)").arg(path);
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    if (!db.open()) {
        m_openFailure = db.lastError().text();
        return;
    }
    QSqlQuery q(db);
    // Written often and small: the journal in the file's own folder keeps a crash harmless.
    m_open = q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
        && q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS sheet (work INTEGER NOT NULL, expert INTEGER NOT NULL, "
                                 "period INTEGER NOT NULL, saved_at TEXT NOT NULL, PRIMARY KEY (work, expert))"))
        && q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS task (work INTEGER NOT NULL, expert INTEGER NOT NULL, "
                                 "task INTEGER NOT NULL, score TEXT NOT NULL, comment TEXT NOT NULL, "
                                 "PRIMARY KEY (work, expert, task))"))
        && q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS marks (work INTEGER NOT NULL, expert INTEGER NOT NULL, "
                                 "json TEXT NOT NULL, PRIMARY KEY (work, expert))"));
    if (!m_open)
        m_openFailure = q.lastError().text();
}

DraftStore::~DraftStore()
{
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

void DraftStore::save(const Draft &draft)
{
    if (!m_open)
        throw Failure(m_openFailure);
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        throw Failure(db.lastError().text());
    QSqlQuery q(db);
    bool ok = run(q, QStringLiteral("INSERT OR REPLACE INTO sheet (work, expert, period, saved_at) VALUES (?, ?, ?, ?)"),
                  {draft.work, draft.expert, draft.period, draft.savedAt.toUTC().toString(Qt::ISODateWithMs)})
        && run(q, QStringLiteral("DELETE FROM task WHERE work = ? AND expert = ?"), {draft.work, draft.expert});
    for (const DraftTask &t : draft.tasks) {
        if (!ok)
            break;
        ok = run(q, QStringLiteral("INSERT INTO task (work, expert, task, score, comment) VALUES (?, ?, ?, ?, ?)"),
                 {draft.work, draft.expert, t.task, t.score, t.comment});
    }
    ok = ok
        && (draft.marks.isEmpty()
                ? run(q, QStringLiteral("DELETE FROM marks WHERE work = ? AND expert = ?"), {draft.work, draft.expert})
                : run(q, QStringLiteral("INSERT OR REPLACE INTO marks (work, expert, json) VALUES (?, ?, ?)"),
                      {draft.work, draft.expert, QString::fromUtf8(ScanMarks::toJson(draft.marks))}));
    if (!ok) {
        const QString reason = q.lastError().text();
        db.rollback();
        throw Failure(reason);
    }
    if (!db.commit())
        throw Failure(db.lastError().text());
}

std::optional<Draft> DraftStore::load(int work, int expert, int period)
{
    if (!m_open)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q, QStringLiteral("SELECT saved_at FROM sheet WHERE work = ? AND expert = ? AND period = ?"),
             {work, expert, period})
        || !q.next())
        return std::nullopt;
    Draft d;
    d.work = work;
    d.expert = expert;
    d.period = period;
    d.savedAt = QDateTime::fromString(q.value(0).toString(), Qt::ISODateWithMs);
    if (!run(q, QStringLiteral("SELECT task, score, comment FROM task WHERE work = ? AND expert = ? ORDER BY task"),
             {work, expert}))
        return std::nullopt;
    while (q.next())
        d.tasks.append({q.value(0).toInt(), q.value(1).toString(), q.value(2).toString()});
    // a text longer than any we write is not even read
    if (run(q, QStringLiteral("SELECT json FROM marks WHERE work = ? AND expert = ? AND length(CAST(json AS BLOB)) <= ?"),
            {work, expert, qint64(ScanMarks::kMaxJsonBytes)})
        && q.next())
        d.marks = ScanMarks::fromJson(q.value(0).toString().toUtf8());
    return d;
}

void DraftStore::remove(int work, int expert)
{
    if (!m_open)
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.transaction();
    QSqlQuery q(db);
    run(q, QStringLiteral("DELETE FROM task WHERE work = ? AND expert = ?"), {work, expert});
    run(q, QStringLiteral("DELETE FROM marks WHERE work = ? AND expert = ?"), {work, expert});
    run(q, QStringLiteral("DELETE FROM sheet WHERE work = ? AND expert = ?"), {work, expert});
    db.commit();
}

QSet<int> DraftStore::works(int expert, int period)
{
    QSet<int> out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (m_open && run(q, QStringLiteral("SELECT work FROM sheet WHERE expert = ? AND period = ?"), {expert, period}))
        while (q.next())
            out.insert(q.value(0).toInt());
    return out;
}

void DraftStore::dropOtherPeriods(int period)
{
    if (!m_open)
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.transaction();
    QSqlQuery q(db);
    run(q, QStringLiteral("DELETE FROM task WHERE EXISTS (SELECT 1 FROM sheet s WHERE s.work = task.work AND "
                          "s.expert = task.expert AND s.period <> ?)"), {period});
    run(q, QStringLiteral("DELETE FROM marks WHERE EXISTS (SELECT 1 FROM sheet s WHERE s.work = marks.work AND "
                          "s.expert = marks.expert AND s.period <> ?)"), {period});
    run(q, QStringLiteral("DELETE FROM sheet WHERE period <> ?"), {period});
    db.commit();
}

#include "data/DataOperations.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>

#include <QDate>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>

#include "data/ADataER.h"
#include "data/NamedQuery.h"
#include "data/SqlCatalogue.h"
#include "data/VardexError.h"

namespace {

NamedQuery *prepared(const QString &name, const QueryParams &params)
{
    NamedQuery *q = DataER->query(name);
    q->close();
    for (const auto &[param, value] : params)
        q->setParam(param, value);
    return q;
}

int workResultCount(int work, int expert)
{
    return queryValue(QStringLiteral("GETworkResults"), {{QStringLiteral("untestID"), work}, {QStringLiteral("userID"), expert}},
                      QStringLiteral("countResult"))
        .toInt();
}

} // namespace

namespace {
QList<QVariantMap> rowsOf(NamedQuery *q)
{
    q->open();
    QList<QVariantMap> rows;
    for (int r = 0; r < q->recordCount(); ++r) {
        QVariantMap row;
        for (int c = 0; c < q->header().count(); ++c)
            row.insert(q->header().fieldName(c), q->value(r, c));
        rows << row;
    }
    q->close();
    return rows;
}

NamedQuery *runtime(const QStringList &sql)
{
    NamedQuery *q = DataER->emptySQL;
    q->close();
    q->setSQL(sql);
    return q;
}
} // namespace

QList<QVariantMap> queryRows(const QString &name, const QueryParams &params)
{
    return rowsOf(prepared(name, params));
}

QList<QVariantMap> runtimeRows(const QStringList &sql)
{
    return rowsOf(runtime(sql));
}

void runtimeExec(const QStringList &sql)
{
    NamedQuery *q = runtime(sql);
    q->execSQL();
    q->close();
}

QVariant queryValue(const QString &name, const QueryParams &params, const QString &field)
{
    NamedQuery *q = prepared(name, params);
    q->open();
    const QVariant value = q->recordCount() > 0 ? q->field(field) : QVariant();
    q->close();
    return value;
}

void queryExec(const QString &name, const QueryParams &params)
{
    NamedQuery *q = prepared(name, params);
    q->execSQL();
    q->close();
}

AmbiguousLogin::AmbiguousLogin()
    : VardexError(QStringLiteral("Этот адрес записан у нескольких учётных записей, различающихся только регистром букв. "
                                 "Введите адрес точно так, как он записан, или обратитесь к администратору."))
{
}

namespace {

// Letter case folded for letters of any script, one for one: a letter becomes its lower case
// only when it is a letter in its own right (unchanged by canonical composition, so the Kelvin sign
// stays apart from "k") and the two are each other's case (so the dotted capital I stays apart from
// "i"). Widths, accents and compatibility characters are never folded into other letters.
QString foldCase(const QString &text)
{
    QList<char32_t> out;
    for (const char32_t c : text.toUcs4()) {
        const char32_t lower = QChar::toLower(c);
        const QString alone = QString::fromUcs4(&c, 1);
        const bool pair = lower != c && QChar::toUpper(lower) == c
            && alone.normalized(QString::NormalizationForm_C) == alone;
        out << (pair ? lower : c);
    }
    return QString::fromUcs4(out.constData(), out.size());
}

// Among the rows the column's collation matched: the exact address, else the only one that
// differs in letter case; several of those are refused rather than one taken at random.
std::optional<QVariantMap> chooseAccount(const QList<QVariantMap> &rows, const QString &login)
{
    QList<QVariantMap> caseOnly;
    for (const QVariantMap &row : rows) {
        const QString stored = row.value(QStringLiteral("email")).toString();
        if (stored == login)
            return row;
        if (foldCase(stored) == foldCase(login))
            caseOnly << row;
    }
    if (caseOnly.size() > 1)
        throw AmbiguousLogin();
    return caseOnly.isEmpty() ? std::nullopt : std::optional<QVariantMap>(caseOnly.first());
}

std::optional<QVariantMap> findAccountRow(const QString &queryName, const QString &param, const QString &typed)
{
    // blanks typed before or after the address are not part of it
    const QString login = typed.trimmed();
    // a login the column cannot even hold names no stored address (and would make the server
    // refuse the comparison)
    if (login.isEmpty() || !unstorableCharacters(QStringLiteral("zet_users"), QStringLiteral("email"), login).isEmpty())
        return std::nullopt;
    return chooseAccount(queryRows(queryName, {{param, login}}), login);
}

} // namespace

std::optional<Account> findActiveExpert(const QString &login)
{
    const std::optional<QVariantMap> r = findAccountRow(QStringLiteral("Qauthorization"), QStringLiteral("login"), login);
    if (!r)
        return std::nullopt;
    return Account{r->value(QStringLiteral("id")).toInt(), r->value(QStringLiteral("password")).toString().toUtf8(),
                   r->value(QStringLiteral("email")).toString(), r->value(QStringLiteral("fio")).toString()};
}

std::optional<Account> findAnyAccount(const QString &login)
{
    const std::optional<QVariantMap> r = findAccountRow(QStringLiteral("ForgotPassword"), QStringLiteral("LOGINS"), login);
    if (!r)
        return std::nullopt;
    return Account{r->value(QStringLiteral("id")).toInt(), r->value(QStringLiteral("password")).toString().toUtf8(),
                   r->value(QStringLiteral("email")).toString(), QString()};
}

void markLastEnter(int user)
{
    queryExec(QStringLiteral("LastEnter"), {{QStringLiteral("UserID"), user}, {QStringLiteral("LastEnter"), QDate::currentDate()}});
}

void setPasswordHash(int user, const QByteArray &hash)
{
    queryExec(QStringLiteral("newPassword"),
              {{QStringLiteral("id"), QString::number(user)}, {QStringLiteral("NEWPASSWORD"), QString::fromLatin1(hash)}});
}

QList<int> subjectAreas(int expert)
{
    QList<int> ids;
    for (const QVariantMap &row : queryRows(QStringLiteral("GETSubjectsEXP"), {{QStringLiteral("userID"), expert}}))
        ids << row.value(QStringLiteral("educationListID")).toInt();
    return ids;
}

void saveSubjectAreas(int expert, const QList<int> &subjectIds)
{
    // The old choice is replaced in one transaction: a failure keeps it whole.
    Transaction transaction(*DataER);
    runtimeExec(RuntimeSql::deleteSubjectAreas(expert));
    runtimeExec(RuntimeSql::insertSubjectAreas(expert, subjectIds));
    transaction.commit();
}

static_assert(kStoredNamesWaitDefault + 10 <= kReadTimeoutSeconds, "an upload's wait must end before the link gives up");

namespace {
std::atomic<int> conflictsRetried{0};

// After a lost commit: whether the write is there, as the server answers. A server that is away
// (restarting, the link cut) is asked again for a few seconds; after that the outcome stays
// unknown, never reported as a failure.
template <class F>
bool stored(F look)
{
    constexpr int kTries = 6;   // a second apart: a restarting server is usually back by then
    for (int attempt = 1;; ++attempt) {
        try {
            if (!DataER->connected())
                DataER->reconnect();
            return look();
        } catch (const OutcomeUnknown &) {
            throw;
        } catch (const std::exception &) {
            if (attempt == kTries)
                throw OutcomeUnknown(false);
            QThread::msleep(1000);
        }
    }
}

// Runs a write that did not commit when it met a lock conflict again, a few times, a little later
// each time: what the server rolled back is safe to repeat.
template <class F>
auto againOnConflict(F write)
{
    for (int attempt = 1;; ++attempt) {
        try {
            return write();
        } catch (const LockConflict &) {
            if (attempt == 5)
                throw;
            ++conflictsRetried;
            QThread::msleep(20 * attempt);
        }
    }
}
// One try of saveScores.
ScoreSave saveScoresOnce(int work, int expert, const QList<TaskScore> &scores, const std::function<void(int)> &progress)
{
    try {
        Transaction transaction(*DataER);
        queryRows(QStringLiteral("lockUntestedWork"), {{QStringLiteral("untestID"), work}});
        if (workResultCount(work, expert) > 0)
            return ScoreSave::AlreadyScored;   // rolled back: nothing was written
        for (int i = 0; i < scores.size(); ++i) {
            const TaskScore &s = scores.at(i);
            queryExec(QStringLiteral("INSestimate"),
                      {{QStringLiteral("untestID1"), work}, {QStringLiteral("userID"), expert},
                       {QStringLiteral("evalutionID"), s.task}, {QStringLiteral("estimate"), s.score},
                       {QStringLiteral("commentestimate"), s.comment}, {QStringLiteral("untestID2"), work}});
            if (progress)
                progress(i + 1);
        }
        queryExec(QStringLiteral("checkWork"), {{QStringLiteral("untestID"), work}});
        transaction.commit();
        return ScoreSave::Saved;
    } catch (const DuplicateRow &) {
        // the expert's sheet was stored meanwhile from another workstation, past the row lock
        // (a cluster's other node): this one is rolled back
        return ScoreSave::AlreadyScored;
    } catch (const OutcomeUnknown &) {
        // The link broke at the commit: the results are all there or none is (one transaction).
        if (stored([&] { return workResultCount(work, expert) > 0; }))
            return ScoreSave::Saved;
        throw ConnectionRestored();
    }
}

} // namespace

int lockConflictsRetried()
{
    return conflictsRetried;
}

ScoreSave saveScores(int work, int expert, const QList<TaskScore> &scores, const std::function<void(int)> &progress)
{
    return againOnConflict([&] { return saveScoresOnce(work, expert, scores, progress); });
}


QString createStoredName(int discipline, int participant)
{
    return queryValue(QStringLiteral("GETnameFileCheckWork"),
                      {{QStringLiteral("EduID"), discipline}, {QStringLiteral("EduID1"), discipline},
                       {QStringLiteral("EduID2"), discipline}, {QStringLiteral("UserID"), participant},
                       {QStringLiteral("UserID1"), participant}},
                      QStringLiteral("namefile"))
        .toString();
}

std::optional<int> workArea(int discipline, int participant)
{
    const QVariant area = queryValue(QStringLiteral("GETareaID1"),
                                     {{QStringLiteral("eduID"), discipline}, {QStringLiteral("userID"), participant}},
                                     QStringLiteral("areas_id"));
    return area.isValid() ? std::optional<int>(area.toInt()) : std::nullopt;
}

namespace {

// The participant's names in the discipline, one workstation at a time (released on every way out).
class StoredNamesLock {
public:
    StoredNamesLock(int discipline, int participant, const NamesWait &waiting)
        : m_params{{QStringLiteral("EduID"), discipline}, {QStringLiteral("UserID"), participant}}
    {
        if (!waiting) {
            if (!take(storedNamesWaitSeconds))
                throw busy();
            return;
        }
        // short tries with the window's events between them: the expert sees the wait and may stop it
        QElapsedTimer waited;
        waited.start();
        while (!take(0)) {
            if (waited.elapsed() >= storedNamesWaitSeconds * 1000LL)
                throw busy();
            if (!waiting(int(waited.elapsed())))
                throw UploadCancelled(QStringLiteral("Загрузка отменена: другая рабочая станция загружала работу этого участника."));
        }
    }
    ~StoredNamesLock()
    {
        try {
            queryRows(QStringLiteral("unlockStoredNames"), m_params);
        } catch (...) {
            // a lost connection has released it already
        }
    }
    StoredNamesLock(const StoredNamesLock &) = delete;
    StoredNamesLock &operator=(const StoredNamesLock &) = delete;

private:
    bool take(int waitSeconds)
    {
        QueryParams params = m_params;
        params.append({QStringLiteral("waitSeconds"), waitSeconds});
        return queryValue(QStringLiteral("lockStoredNames"), params, QStringLiteral("locked")).toInt() == 1;
    }
    static VardexError busy()
    {
        return VardexError(QStringLiteral("Другая рабочая станция загружает работу этого участника. Повторите загрузку позже."));
    }
    QueryParams m_params;
};

int uploadRowsNamed(const QString &name)
{
    return queryValue(QStringLiteral("GETcheckWorkByName"), {{QStringLiteral("nameFile"), name}}, QStringLiteral("countRows")).toInt();
}

} // namespace

QString nextStoredName(const QString &storedName)
{
    const qsizetype underscore = storedName.lastIndexOf(QLatin1Char('_'));
    const qsizetype dot = storedName.lastIndexOf(QLatin1Char('.'));
    bool ok = false;
    const int number = storedName.mid(underscore + 1, dot - underscore - 1).toInt(&ok);
    if (underscore < 0 || dot < underscore || !ok)
        return QString();
    return storedName.left(underscore + 1) + QString::number(number + 1) + storedName.mid(dot);
}

namespace {
QString uploadCheckedWorkOnce(int area, int participant, int discipline, const std::function<bool(const QString &)> &post,
                              const std::function<void(const QString &)> &unpost, const NamesWait &waiting)
{
    constexpr int kNameAttempts = 100;   // names the server already holds (files without rows), passed by
    StoredNamesLock lock(discipline, participant, waiting);
    QString name = createStoredName(discipline, participant);
    bool posted = false;
    // the row is not there (rolled back): the file posted for it goes too, as far as the server lets
    const auto withdraw = [&] {
        if (!posted || !unpost)
            return;
        try {
            unpost(name);
        } catch (...) {
            // the server keeps a file no row names; the next upload passes its name by
        }
    };
    try {
        Transaction transaction(*DataER);
        queryExec(QStringLiteral("INScheckWork"), {{QStringLiteral("areaID"), area}, {QStringLiteral("userID"), participant},
                                                   {QStringLiteral("eduID"), discipline}, {QStringLiteral("newNameFile"), name}});
        const int row = queryValue(QStringLiteral("GETlastInsertId"), {}, QStringLiteral("id")).toInt();
        for (int attempt = 1; !post(name); ++attempt) {
            // a file with no row of ours (left by another program, or by a post whose answer was lost)
            name = nextStoredName(name);
            if (attempt >= kNameAttempts || name.isEmpty())
                throw NamesTaken(QStringLiteral("Файловый сервер отказал: %1 имён файлов участника подряд заняты файлами без "
                                                "записей в базе (до %2). Сообщите администратору файлового сервера.")
                                     .arg(kNameAttempts)
                                     .arg(name));
            queryExec(QStringLiteral("renameCheckWork"), {{QStringLiteral("newNameFile"), name}, {QStringLiteral("id"), row}});
        }
        posted = true;
        transaction.commit();
    } catch (const OutcomeUnknown &) {
        // The link broke at the commit: the row is there (committed) or it is not.
        if (stored([&] { return uploadRowsNamed(name) > 0; }))
            return name;
        withdraw();
        throw ConnectionRestored();
    } catch (...) {
        withdraw();   // the transaction was rolled back
        throw;
    }
    return name;
}
} // namespace

QString uploadCheckedWork(int area, int participant, int discipline, const std::function<bool(const QString &)> &post,
                          const std::function<void(const QString &)> &unpost, const NamesWait &waiting)
{
    // a conflict rolled the row back, and the file posted for it was taken back: safe to repeat
    return againOnConflict([&] { return uploadCheckedWorkOnce(area, participant, discipline, post, unpost, waiting); });
}

namespace {
void deleteCheckedWorkOnce(int id, const QString &storedName, const std::function<void()> &deleteFile)
{
    bool fileGone = false;
    // the file is gone but the row's deletion was not kept (the link broke): the row goes on its
    // own, so that no row names a file the server no longer has
    const auto finish = [&] {
        if (!fileGone)
            return false;
        queryExec(QStringLiteral("deleteCheckWorkRun"), {{QStringLiteral("id"), id}});
        return true;
    };
    try {
        Transaction transaction(*DataER);
        queryExec(QStringLiteral("deleteCheckWorkRun"), {{QStringLiteral("id"), id}});
        // an older database may hold the same name in several rows: the file stays while one names it
        if (uploadRowsNamed(storedName) == 0) {
            deleteFile();   // raises when the file server refuses: the row stays with its file
            fileGone = true;
        }
        transaction.commit();
    } catch (const OutcomeUnknown &) {
        // the link broke at the commit: the row is gone (committed) or it is not
        if (stored([&] { return queryRows(QStringLiteral("GETuploadRow"), {{QStringLiteral("id"), id}}).isEmpty(); }) || finish())
            return;
        throw ConnectionRestored();
    } catch (const ConnectionRestored &) {
        if (!finish())
            throw;
    } catch (const LockConflict &) {
        throw;   // repeated whole: the file, gone, answers "no such file" and the row goes
    } catch (const VardexError &) {
        // the commit failed after the file went (a server that cannot take work now): the row
        // goes on its own if it can; if not, a repeat finds the file gone and finishes
        if (!fileGone)
            throw;
        if (!DataER->connected())
            DataER->reconnect();
        finish();
    }
}
} // namespace

void deleteCheckedWork(int id, const QString &storedName, const std::function<void()> &deleteFile)
{
    againOnConflict([&] { deleteCheckedWorkOnce(id, storedName, deleteFile); });
}

void saveAppealAnswers(int expert, const QList<QPair<int, QString>> &answers)
{
    for (const auto &[claim, answer] : answers) {
        // stored whole (UTF-8); an empty box is an empty text, never NULL
        const QueryParams params{{QStringLiteral("answerСlaim"), QString(QLatin1String("")) + answer}, {QStringLiteral("id"), claim},
                                 {QStringLiteral("expID"), expert}};
        againOnConflict([&] {
            try {
                queryExec(QStringLiteral("appealAnsweUpd"), params);
            } catch (const OutcomeUnknown &) {
                // the link broke under the update: setting the same text again is harmless either way
                stored([&] {
                    queryExec(QStringLiteral("appealAnsweUpd"), params);
                    return true;
                });
            }
        });
    }
}

int activePeriod()
{
    return queryValue(QStringLiteral("GETactivePeriod"), {}, QStringLiteral("id")).toInt();
}

QString unstorableCharacters(const QString &table, const QString &column, const QString &text)
{
    if (DataER->columnCharsets.isEmpty()) {
        for (const QVariantMap &row : queryRows(QStringLiteral("GETcolumnCharsets")))
            DataER->columnCharsets.insert(row.value(QStringLiteral("tableName")).toString().toLower() + QLatin1Char('.')
                                              + row.value(QStringLiteral("columnName")).toString().toLower(),
                                          row.value(QStringLiteral("charset")).toString().toLower());
    }
    const QString charset = DataER->columnCharsets.value(table.toLower() + QLatin1Char('.') + column.toLower());
    // The distinct characters outside ASCII: every character set the server has holds ASCII.
    QList<char32_t> candidates;
    for (const char32_t c : text.toUcs4())
        if (c > 0x7F && !candidates.contains(c))
            candidates << c;
    if (candidates.isEmpty() || charset.isEmpty() || charset.startsWith(QLatin1String("utf8mb4"))
        || charset.startsWith(QLatin1String("utf16")) || charset.startsWith(QLatin1String("utf32")))
        return QString();
    QList<char32_t> refused;
    if (charset == QLatin1String("utf8mb3") || charset == QLatin1String("utf8") || charset == QLatin1String("ucs2")) {
        for (const char32_t c : candidates)
            if (c > 0xFFFF)
                refused << c;
    } else {
        // Any other character set: the server's own conversion says. Each character it cannot
        // convert comes back as one "?" in its place (no "?" is among the candidates).
        const QString probe = QString::fromUcs4(candidates.constData(), candidates.size());
        const QSqlDriver *driver = QSqlDatabase::database(TDataER::connectionName(), false).driver();
        const QStringList sql = RuntimeSql::convertThrough(NamedQuery::textLiteral(probe, driver), charset);
        if (sql.isEmpty())
            return QString();   // a name no server gives its character sets: the column is unknown
        NamedQuery *q = DataER->emptySQL;
        q->close();
        q->setSQL(sql);
        q->open();
        const QList<uint> back = q->field(QStringLiteral("back")).toString().toUcs4();
        q->close();
        for (int i = 0; i < candidates.size(); ++i)
            if (back.size() != candidates.size() || back.at(i) == uint(U'?'))
                refused << candidates.at(i);
    }
    return QString::fromUcs4(refused.constData(), refused.size());
}

QString unstorableMessage(const QString &characters)
{
    QStringList shown;
    for (const char32_t c : characters.toUcs4())
        shown << QString::fromUcs4(&c, 1);
    return QStringLiteral("Эти символы не могут быть сохранены в базе данных: ") + shown.join(QLatin1Char(' '))
        + QStringLiteral("\n\rЗамените или удалите их и сохраните снова.");
}

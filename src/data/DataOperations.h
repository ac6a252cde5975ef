#pragma once
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

#include "data/VardexError.h"

// The data side of the windows' commands: each save and each multi-statement read is one
// function here, taking values and returning values; failures raise VardexError with the reason.

using QueryParams = QList<QPair<QString, QVariant>>;

// A named query run with its parameters, its rows read and the query closed again.
QList<QVariantMap> queryRows(const QString &name, const QueryParams &params = {});
// The first row's field (an invalid QVariant when there is no row).
QVariant queryValue(const QString &name, const QueryParams &params, const QString &field);
void queryExec(const QString &name, const QueryParams &params);
// The same for the catalogue's run-time statements (RuntimeSql), on the data module's emptySQL.
QList<QVariantMap> runtimeRows(const QStringList &sql);
void runtimeExec(const QStringList &sql);

// An expert's account: the row whose stored address is exactly the typed login (blanks around it
// left out), else the one row whose address differs from it in letter case only, of any script.
// Nothing else is folded (accents, widths, compatibility characters such as the Kelvin sign, a
// stored trailing blank), whatever the column's collation does.
struct Account {
    int id = 0;
    QByteArray hash;
    QString email;   // as stored: letters go here
    QString fio;
};
std::optional<Account> findActiveExpert(const QString &login);   // "Авторизация"
std::optional<Account> findAnyAccount(const QString &login);     // recovery: any role
// Raised when several stored addresses differ from the typed login in letter case only.
class AmbiguousLogin : public VardexError {
public:
    AmbiguousLogin();
};
void markLastEnter(int user);
void setPasswordHash(int user, const QByteArray &hash);

QList<int> subjectAreas(int expert);
void saveSubjectAreas(int expert, const QList<int> &subjectIds);   // all or nothing

struct TaskScore {
    int task;
    int score;
    QString comment;
};
enum class ScoreSave { Saved, AlreadyScored };
// One result per task and the work marked checked, all or nothing, under a lock on the work row
// so that a second scoring of the work by the same expert is refused. A transaction the server
// gives up to another (LockConflict) is run again, a few times, before the conflict is raised.
ScoreSave saveScores(int work, int expert, const QList<TaskScore> &scores,
                     const std::function<void(int done)> &progress = {});

// The next stored name of a participant's checked work: "" when the discipline has no prefix.
QString createStoredName(int discipline, int participant);

// One checked work sent to the file server under a name reserved for it. The name is made and its
// row inserted (not yet visible to others) while a lock on the participant's names in the
// discipline is held, the file is posted under that name, and only then is the row committed: so
// no name is ever posted twice, on any server, and no row stands without its file. `post` sends the
// file under the name and returns true, or false when the server refused that name as taken
// (the next number is then tried); any other failure it throws, and nothing is kept.
// Returns the stored name. After a lost connection at the commit it looks whether the row is there.
// When the row cannot be kept after the file was posted (the link broke, the commit was lost),
// `unpost` removes the file again, so that the server keeps no file without its row.
// While another workstation holds the participant's names, `waiting` (when given) is called about
// four times a second with the milliseconds waited so far, between short tries, so that a window
// can show the wait and keep painting; it returns false when the expert gives up (UploadCancelled).
// Without it the wait is one request that blocks (the helpers, which have no window).
using NamesWait = std::function<bool(int waitedMs)>;
QString uploadCheckedWork(int area, int participant, int discipline, const std::function<bool(const QString &name)> &post,
                          const std::function<void(const QString &name)> &unpost = {}, const NamesWait &waiting = {});
// How long an upload waits for another workstation's upload of the same participant: within
// the connection's read timeout, so that the wait ends with its own message, not a lost link.
constexpr int kStoredNamesWaitDefault = 45;
inline int storedNamesWaitSeconds = kStoredNamesWaitDefault;
// Raised when every name the upload may take is held by a file on the server.
class NamesTaken : public VardexError {
public:
    using VardexError::VardexError;
};
// Raised when the expert gave up waiting for another workstation's upload: nothing was sent.
class UploadCancelled : public VardexError {
public:
    using VardexError::VardexError;
};
// The same name with the sequence number (the digits before ".pdf") one higher; "" if it has none.
QString nextStoredName(const QString &storedName);
// Deletes an upload's row and, when no other row names the same file, has deleteFile remove the
// file; the row's deletion is committed only once the file is gone, so a file server that fails
// (deleteFile raises) leaves the row and its file as they were.
void deleteCheckedWork(int id, const QString &storedName, const std::function<void()> &deleteFile);
// The area of the participant's unchecked work in the discipline, if there is one.
std::optional<int> workArea(int discipline, int participant);
// The area a checked work's name carries when the participant has no work in that discipline
// (the file server's scripts and the other systems read names with it).
constexpr int kDefaultArea = 10;

// Claim id, answer; only claims given to `expert` are written (another's is left as it is).
// Conflicts run again.
void saveAppealAnswers(int expert, const QList<QPair<int, QString>> &answers);
// How many lock conflicts this process met and ran again (the region-day figures).
int lockConflictsRetried();

// The characters of `text` that the column cannot store in its character set (as the server
// reports it for the centre's own tables), each once, in order of appearance; "" when all fit.
QString unstorableCharacters(const QString &table, const QString &column, const QString &text);
// The message for such characters, naming them.
QString unstorableMessage(const QString &characters);
int activePeriod();   // 0 when none is active

#pragma once
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

// The data side of the windows' commands: each save and each multi-statement read is one
// function here, taking values and returning values; failures raise VardexError with the reason.

using QueryParams = QList<QPair<QString, QVariant>>;

// A named query run with its parameters, its rows read and the query closed again.
QList<QVariantMap> queryRows(const QString &name, const QueryParams &params = {});
// The first row's field (an invalid QVariant when there is no row).
QVariant queryValue(const QString &name, const QueryParams &params, const QString &field);
void queryExec(const QString &name, const QueryParams &params);

// An expert's account, found by the exact stored address (letter case aside).
struct Account {
    int id = 0;
    QByteArray hash;
    QString email;   // as stored: letters go here
    QString fio;
};
std::optional<Account> findActiveExpert(const QString &login);   // "Авторизация"
std::optional<Account> findAnyAccount(const QString &login);     // recovery: any role
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
// so that a second scoring of the work by the same expert is refused.
ScoreSave saveScores(int work, int expert, const QList<TaskScore> &scores,
                     const std::function<void(int done)> &progress = {});

// The next stored name of a participant's checked work: "" when the discipline has no prefix.
QString createStoredName(int discipline, int participant);
// The area of the participant's unchecked work in the discipline, if there is one.
std::optional<int> workArea(int discipline, int participant);
void recordUpload(int area, int participant, int discipline, const QString &storedName);
void deleteUpload(int id);

void saveAppealAnswers(const QList<QPair<int, QString>> &answers);   // claim id, answer
int activePeriod();   // 0 when none is active

#include "data/DataOperations.h"

#include <QDate>

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

} // namespace

QList<QVariantMap> queryRows(const QString &name, const QueryParams &params)
{
    NamedQuery *q = prepared(name, params);
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

std::optional<Account> findActiveExpert(const QString &login)
{
    const QList<QVariantMap> rows = queryRows(QStringLiteral("Qauthorization"), {{QStringLiteral("login"), login}});
    if (rows.isEmpty() || rows.first().value(QStringLiteral("countUser")).toInt() <= 0)
        return std::nullopt;
    const QVariantMap &r = rows.first();
    return Account{r.value(QStringLiteral("id")).toInt(), r.value(QStringLiteral("password")).toString().toUtf8(),
                   r.value(QStringLiteral("email")).toString(), r.value(QStringLiteral("fio")).toString()};
}

std::optional<Account> findAnyAccount(const QString &login)
{
    const QList<QVariantMap> rows = queryRows(QStringLiteral("ForgotPassword"), {{QStringLiteral("LOGINS"), login}});
    if (rows.isEmpty() || rows.first().value(QStringLiteral("em")).toInt() <= 0)
        return std::nullopt;
    const QVariantMap &r = rows.first();
    return Account{r.value(QStringLiteral("id")).toInt(), r.value(QStringLiteral("password")).toString().toUtf8(),
                   r.value(QStringLiteral("email")).toString(), QString()};
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
    NamedQuery *q = DataER->emptySQL;
    for (const QStringList &sql : {RuntimeSql::deleteSubjectAreas(expert), RuntimeSql::insertSubjectAreas(expert, subjectIds)}) {
        q->close();
        q->setSQL(sql);
        q->execSQL();
    }
    q->close();
    transaction.commit();
}

ScoreSave saveScores(int work, int expert, const QList<TaskScore> &scores, const std::function<void(int)> &progress)
{
    Transaction transaction(*DataER);
    queryRows(QStringLiteral("lockUntestedWork"), {{QStringLiteral("untestID"), work}});
    const QVariant count = queryValue(QStringLiteral("GETworkResults"),
                                      {{QStringLiteral("untestID"), work}, {QStringLiteral("userID"), expert}},
                                      QStringLiteral("countResult"));
    if (count.toInt() > 0)
        return ScoreSave::AlreadyScored;   // rolled back: nothing was written
    for (int i = 0; i < scores.size(); ++i) {
        const TaskScore &s = scores.at(i);
        queryExec(QStringLiteral("INSestimate"),
                  {{QStringLiteral("untestID1"), work}, {QStringLiteral("userID"), expert}, {QStringLiteral("evalutionID"), s.task},
                   {QStringLiteral("estimate"), s.score}, {QStringLiteral("commentestimate"), s.comment},
                   {QStringLiteral("untestID2"), work}});
        if (progress)
            progress(i + 1);
    }
    queryExec(QStringLiteral("checkWork"), {{QStringLiteral("untestID"), work}});
    transaction.commit();
    return ScoreSave::Saved;
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

void recordUpload(int area, int participant, int discipline, const QString &storedName)
{
    queryExec(QStringLiteral("INScheckWork"), {{QStringLiteral("areaID"), area}, {QStringLiteral("userID"), participant},
                                               {QStringLiteral("eduID"), discipline}, {QStringLiteral("newNameFile"), storedName}});
}

void deleteUpload(int id)
{
    queryExec(QStringLiteral("deleteCheckWorkRun"), {{QStringLiteral("id"), id}});
}

void saveAppealAnswers(const QList<QPair<int, QString>> &answers)
{
    for (const auto &[claim, answer] : answers)
        // stored whole (UTF-8); an empty box is an empty text, never NULL
        queryExec(QStringLiteral("appealAnsweUpd"),
                  {{QStringLiteral("answerСlaim"), QString(QLatin1String("")) + answer}, {QStringLiteral("id"), claim}});
}

int activePeriod()
{
    return queryValue(QStringLiteral("GETactivePeriod"), {}, QStringLiteral("id")).toInt();
}

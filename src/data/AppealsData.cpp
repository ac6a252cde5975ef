#include "data/AppealsData.h"

#include "data/ADataER.h"
#include "data/NamedQuery.h"

namespace AppealsData {

NamedQuery *disciplines()
{
    return DataER->query(QStringLiteral("EDUdiplom"));
}

NamedQuery *applicants()
{
    return DataER->query(QStringLiteral("GETappealAnswerList"));
}

void readDisciplines(int expert)
{
    disciplines()->reopen({{QStringLiteral("userID"), expert}});
}

void readApplicants(int discipline, int expert)
{
    applicants()->reopen({{QStringLiteral("eduID"), discipline}, {QStringLiteral("expID"), expert}});
}

QList<Claim> claims(int applicant, int discipline, int expert)
{
    NamedQuery *q = DataER->query(QStringLiteral("appealExpertGet"))
                        ->reopen({{QStringLiteral("eduID"), discipline}, {QStringLiteral("userID"), applicant},
                                  {QStringLiteral("expID"), expert}});
    QList<Claim> out;
    for (q->first(); !q->eof(); q->next())
        out.append({q->field(QStringLiteral("id")).toInt(), q->field(QStringLiteral("titletask")).toString(),
                    q->field(QStringLiteral("claim")).toString(), q->field(QStringLiteral("answerСlaim")).toString()});
    q->close();
    return out;
}

std::optional<Work> work(int applicant, int discipline)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETappealWork"))->reopen({{QStringLiteral("userID"), applicant}, {QStringLiteral("eduID"), discipline}});
    std::optional<Work> out;
    if (q->recordCount() > 0)
        out = Work{{q->field(QStringLiteral("id")).toInt(), q->field(QStringLiteral("bodyFile")).toString(),
                    q->field(QStringLiteral("nameEdu")).toString()},
                   q->field(QStringLiteral("PrefixEncrypt")).toString()};
    q->close();
    return out;
}

QList<TaskResult> results(int work, int discipline)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETappealScores"))->reopen({{QStringLiteral("untestID"), work}, {QStringLiteral("eduID"), discipline}});
    QList<TaskResult> out;
    for (q->first(); !q->eof(); q->next()) {
        const QVariant score = q->field(QStringLiteral("estimate"));
        out.append({q->field(QStringLiteral("id")).toInt(), q->field(QStringLiteral("titletask")).toString(),
                    q->field(QStringLiteral("maxestimation")).toInt(),
                    score.isNull() ? std::nullopt : std::optional<int>(score.toInt()),
                    q->field(QStringLiteral("commentestimate")).toString()});
    }
    q->close();
    return out;
}

} // namespace AppealsData

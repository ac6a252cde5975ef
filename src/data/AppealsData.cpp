#include "data/AppealsData.h"

#include <QHash>
#include <QMap>

#include "data/ScoreSheet.h"

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

QList<ExpertResults> results(int work, int discipline)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETappealScores"))->reopen({{QStringLiteral("untestID"), work}, {QStringLiteral("eduID"), discipline}});
    QList<TaskResult> tasks;                 // the discipline's, in order, unscored
    QMap<int, ExpertResults> byExpert;
    QHash<int, QHash<int, TaskResult>> given;   // expert -> task -> result
    for (q->first(); !q->eof(); q->next()) {
        const int task = q->field(QStringLiteral("id")).toInt();
        if (tasks.isEmpty() || tasks.last().task != task)
            tasks.append({task, q->field(QStringLiteral("titletask")).toString(), q->field(QStringLiteral("maxestimation")).toInt(), {}, {}});
        const QVariant expert = q->field(QStringLiteral("expertID"));
        const QVariant score = q->field(QStringLiteral("estimate"));
        if (expert.isNull() || score.isNull())
            continue;
        ExpertResults &e = byExpert[expert.toInt()];
        e.expert = expert.toInt();
        e.name = q->field(QStringLiteral("fio")).toString();
        if (!given[e.expert].contains(task))   // a task given twice by one expert counts once
            given[e.expert].insert(task, {task, tasks.last().title, tasks.last().max, score.toInt(),
                                          q->field(QStringLiteral("commentestimate")).toString()});
    }
    q->close();
    if (byExpert.isEmpty())
        byExpert.insert(0, ExpertResults{});
    QList<ExpertResults> out;
    for (ExpertResults e : std::as_const(byExpert)) {
        for (const TaskResult &t : std::as_const(tasks)) {
            const TaskResult r = given.value(e.expert).value(t.task, t);
            e.tasks << r;
            const int max = ScoreSheet::maxOf({t.task, t.max, {}});
            e.maximum += max;
            if (r.score) {
                e.scored = true;
                e.total += *r.score;
            }
        }
        out << e;
    }
    return out;
}

} // namespace AppealsData

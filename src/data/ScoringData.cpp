#include "data/ScoringData.h"

#include <algorithm>

#include "data/ADataER.h"
#include "data/NamedQuery.h"

namespace ScoringData {

namespace {
Progress count(NamedQuery *q)
{
    const Progress p{q->field(QStringLiteral("scored")).toInt(), q->field(QStringLiteral("assigned")).toInt()};
    q->close();
    return p;
}
} // namespace

NamedQuery *workList()
{
    return DataER->query(QStringLiteral("GETestimate"));
}

NamedQuery *readWorkList(int expert)
{
    return workList()->reopen({{QStringLiteral("userID"), expert}});
}

void closeQueries()
{
    DataER->query(QStringLiteral("GETestimateWork"))->close();
    DataER->query(QStringLiteral("GETestimate"))->close();
}

Progress expertProgress(int expert)
{
    return count(DataER->query(QStringLiteral("GETprogressExpert"))->reopen({{QStringLiteral("userID"), expert}}));
}

Progress disciplineProgress(int expert, int work)
{
    return count(DataER->query(QStringLiteral("GETprogressDiscipline"))
                     ->reopen({{QStringLiteral("userID"), expert}, {QStringLiteral("untestID"), work}}));
}

QList<ScoreSheet::Task> tasks(int work)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETestimateWork"))->reopen({{QStringLiteral("untestID"), work}});
    QList<ScoreSheet::Task> out;
    for (q->first(); !q->eof(); q->next())
        out.append({q->field(QStringLiteral("id")).toInt(), q->field(QStringLiteral("maxestimation")).toInt(),
                    q->field(QStringLiteral("titletask")).toString()});
    return out;
}

WorkScan scanOf(int work)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETworkFile"))->reopen({{QStringLiteral("untestID"), work}});
    WorkScan scan{work, {}, {}};
    if (q->recordCount() > 0) {
        scan.bodyFile = q->field(QStringLiteral("bodyFile")).toString();
        scan.discipline = q->field(QStringLiteral("nameEdu")).toString();
    }
    q->close();
    return scan;
}

std::optional<WorkOwner> ownerOf(int work)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETcheckedWork"))->reopen({{QStringLiteral("untestID"), work}});
    std::optional<WorkOwner> owner;
    if (q->recordCount() > 0)
        owner = WorkOwner{q->field(QStringLiteral("educationallistID")).toInt(), q->field(QStringLiteral("user_id")).toInt(),
                          q->field(QStringLiteral("nameEdu")).toString(), q->field(QStringLiteral("PrefixEncrypt")).toString(),
                          q->field(QStringLiteral("period_id")).toInt(), q->field(QStringLiteral("classStudy")).toString()};
    q->close();
    return owner;
}

QHash<int, QStringList> earlierComments(int expert, int work)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETexpertComments"))
                        ->reopen({{QStringLiteral("userID"), expert}, {QStringLiteral("untestID"), work},
                                  {QStringLiteral("most"), kEarlierCommentsPerTask}});
    QHash<int, QStringList> out;   // in the server's order: the most used first
    for (q->first(); !q->eof(); q->next())
        out[q->field(QStringLiteral("task")).toInt()] << q->field(QStringLiteral("comment")).toString();
    q->close();
    return out;
}

} // namespace ScoringData

#include "data/ScoringData.h"

#include <algorithm>

#include "data/ADataER.h"
#include "data/NamedQuery.h"

namespace ScoringData {

namespace {
Progress count(NamedQuery *q)
{
    q->open();
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
    NamedQuery *q = workList();
    q->close();
    q->setParam(QStringLiteral("userID"), expert);
    q->open();
    return q;
}

void closeQueries()
{
    DataER->query(QStringLiteral("GETestimateWork"))->close();
    DataER->query(QStringLiteral("GETestimate"))->close();
}

Progress expertProgress(int expert)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETprogressExpert"));
    q->close();
    q->setParam(QStringLiteral("userID"), expert);
    return count(q);
}

Progress disciplineProgress(int expert, int work)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETprogressDiscipline"));
    q->close();
    q->setParam(QStringLiteral("userID"), expert);
    q->setParam(QStringLiteral("untestID"), work);
    return count(q);
}

QList<ScoreSheet::Task> tasks(int work)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETestimateWork"));
    q->close();
    q->setParam(QStringLiteral("untestID"), work);
    q->open();
    QList<ScoreSheet::Task> out;
    for (q->first(); !q->eof(); q->next())
        out.append({q->field(QStringLiteral("id")).toInt(), q->field(QStringLiteral("maxestimation")).toInt(),
                    q->field(QStringLiteral("titletask")).toString()});
    return out;
}

WorkScan scanOf(int work)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETworkFile"));
    q->close();
    q->setParam(QStringLiteral("untestID"), work);
    q->open();
    WorkScan scan{work, {}, {}};
    if (q->recordCount() > 0) {
        scan.bodyFile = q->field(QStringLiteral("bodyFile")).toString();
        scan.discipline = q->field(QStringLiteral("nameEdu")).toString();
    }
    q->close();
    return scan;
}

QHash<int, QStringList> earlierComments(int expert, int work)
{
    NamedQuery *q = DataER->query(QStringLiteral("GETexpertComments"));
    q->close();
    q->setParam(QStringLiteral("userID"), expert);
    q->setParam(QStringLiteral("untestID"), work);
    q->open();
    QHash<int, QHash<QString, int>> uses;   // by task: comment -> times used
    QHash<int, QStringList> newestFirst;
    for (q->first(); !q->eof(); q->next()) {
        const int task = q->field(QStringLiteral("evalutionsystemID")).toInt();
        const QString comment = q->field(QStringLiteral("commentestimate")).toString().trimmed();
        if (comment.isEmpty())
            continue;
        if (uses[task][comment]++ == 0)
            newestFirst[task] << comment;
    }
    q->close();
    QHash<int, QStringList> out;
    for (auto it = newestFirst.begin(); it != newestFirst.end(); ++it) {
        QStringList list = it.value();
        const QHash<QString, int> &times = uses[it.key()];
        std::stable_sort(list.begin(), list.end(), [&](const QString &a, const QString &b) { return times[a] > times[b]; });
        out.insert(it.key(), list);
    }
    return out;
}

} // namespace ScoringData

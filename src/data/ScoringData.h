#pragma once
#include <QHash>
#include <QList>
#include <QStringList>
#include <optional>

#include "data/ScanSource.h"
#include "data/ScoreSheet.h"

class NamedQuery;

// What the scoring window reads, by name and type: the statements and their parameters stay here.
namespace ScoringData {
// The works the expert has still to score: the grid's query, and reading it again (opened).
NamedQuery *workList();
NamedQuery *readWorkList(int expert);
void closeQueries();   // the window's statements, when it goes

struct Progress {
    int scored = 0;
    int assigned = 0;
};
Progress expertProgress(int expert);
Progress disciplineProgress(int expert, int work);   // of the work's discipline

QList<ScoreSheet::Task> tasks(int work);   // descending id, the order a sheet checks them
WorkScan scanOf(int work);
// Whose work it is, in which discipline: what a checked copy of it needs.
struct WorkOwner {
    int discipline = 0;
    int participant = 0;   // the work's code
    QString disciplineName;
    QString prefix;
    int period = 0;        // the work's period
    QString classStudy;    // the participant's class, when known
};
std::optional<WorkOwner> ownerOf(int work);
// The expert's own comments on the tasks of the work's discipline, by task, most used first
// (the newer first among equals).
// The expert's earlier comments on each task of the work's discipline: at most
// kEarlierCommentsPerTask a task, the most used first, then the newest.
constexpr int kEarlierCommentsPerTask = 50;
QHash<int, QStringList> earlierComments(int expert, int work);
}

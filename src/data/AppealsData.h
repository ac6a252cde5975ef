#pragma once
#include <QList>
#include <QString>
#include <optional>

#include "data/ScanSource.h"

class NamedQuery;

// What the appeal window reads, by name and type: the statements and their parameters stay here.
namespace AppealsData {
// The lookups' queries: the expert's disciplines, and the applicants of one of them.
NamedQuery *disciplines();
NamedQuery *applicants();
void readDisciplines(int expert);
void readApplicants(int discipline, int expert);

struct Claim {
    int id = 0;
    QString task;     // the task's title
    QString claim;
    QString answer;   // "" when not answered yet
};
QList<Claim> claims(int applicant, int discipline, int expert);   // the expert's own, by descending task

// The applicant's work in the discipline this period, if there is one.
struct Work {
    WorkScan scan;
    QString prefix;
};
std::optional<Work> work(int applicant, int discipline);

// What each task of the work's discipline was given (a task scored twice comes twice; one not
// scored comes once, without a score).
struct TaskResult {
    int task = 0;
    QString title;
    int max = 0;
    std::optional<int> score;
    QString comment;
};
// One expert's results for the work, every task of the discipline in order (a task the expert
// gave nothing is without a score), and their total of their maximum.
struct ExpertResults {
    int expert = 0;   // 0: nobody has scored the work yet
    QString name;
    QList<TaskResult> tasks;
    int total = 0;
    int maximum = 0;
    bool scored = false;   // any task has a score
};
// Each expert's apart, by expert; never a sum across experts. One unscored sheet when none has.
QList<ExpertResults> results(int work, int discipline);
}

#pragma once
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

#include "data/DataOperations.h"
#include "data/DraftStore.h"

// The rules of one work's score sheet, apart from any window: a score is a whole number from 0 to
// the task's maximum; a task given less than its maximum needs a comment; the total; the draft
// kept while typing; the rows a save stores.
class ScoreSheet {
public:
    struct Task {
        int id = 0;
        int max = 0;   // a negative maximum counts as 0; one above kMaxTaskMaximum is refused
        QString title;
    };
    // A task's maximum beyond this is damaged data, not a task: it cannot be scored, and it
    // never costs a list of that many scores.
    static constexpr int kMaxTaskMaximum = 100;
    enum class Rule { Maximum, Range, Comment };
    struct Refusal {
        int task;
        Rule rule;
    };

    ScoreSheet() = default;
    // Tasks in the order they are checked (the statement's: descending id); each starts at "0".
    explicit ScoreSheet(QList<Task> tasks);

    const QList<Task> &tasks() const { return m_tasks; }
    bool isEmpty() const { return m_tasks.isEmpty(); }
    static bool hasSaneMaximum(const Task &task) { return task.max <= kMaxTaskMaximum; }
    static int maxOf(const Task &task) { return task.max > 0 && hasSaneMaximum(task) ? task.max : 0; }

    // As typed: a score given counts as touched (a fresh sheet asks for no comment yet).
    void setScore(int task, const QString &typed);
    void setComment(int task, const QString &text);
    QString scoreText(int task) const { return m_scores.value(task); }
    QString comment(int task) const { return m_comments.value(task); }

    std::optional<int> score(int task) const;   // the typed score, if it is one
    int total() const;                          // of the scores that are ones
    int maximum() const;
    bool wantsComment(int task) const;          // touched, below its maximum, no comment yet
    // The first task that cannot be stored: a damaged maximum first, then in the tasks' order a bad
    // score before a missing comment.
    std::optional<Refusal> firstRefusal() const;
    // What a save stores, one row per task; only for a sheet without a refusal.
    QList<TaskScore> rows() const;

    QList<DraftTask> draftTasks() const;
    // A kept draft back on the sheet: a score never longer than a box takes, a comment never
    // longer than maxComment; tasks the sheet does not have are left out.
    void fill(const QList<DraftTask> &tasks, int maxComment);

private:
    const Task *find(int task) const;
    QList<Task> m_tasks;
    QHash<int, qsizetype> m_index;   // task id -> its place: a sheet of many tasks stays linear
    QHash<int, QString> m_scores;
    QHash<int, QString> m_comments;
    QSet<int> m_touched;
};

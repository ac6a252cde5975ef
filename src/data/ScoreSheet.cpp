#include "data/ScoreSheet.h"

namespace {
constexpr int kMaxScoreText = 16;   // what a score box takes, whatever a drafts file holds
}

ScoreSheet::ScoreSheet(QList<Task> tasks) : m_tasks(std::move(tasks))
{
    // an empty comment is an empty text, never a null one: it is stored as '' as the box gives it
    for (qsizetype i = 0; i < m_tasks.size(); ++i)
        m_index.insert(m_tasks[i].id, i);
    for (const Task &t : std::as_const(m_tasks)) {
        m_scores.insert(t.id, QStringLiteral("0"));
        m_comments.insert(t.id, QStringLiteral(""));
    }
}

const ScoreSheet::Task *ScoreSheet::find(int task) const
{
    const auto at = m_index.constFind(task);
    return at == m_index.cend() ? nullptr : &m_tasks[*at];
}

void ScoreSheet::setScore(int task, const QString &typed)
{
    if (!find(task))
        return;
    m_scores.insert(task, typed);
    m_touched.insert(task);
}

void ScoreSheet::setComment(int task, const QString &text)
{
    if (find(task))
        m_comments.insert(task, text.isNull() ? QStringLiteral("") : text);
}

std::optional<int> ScoreSheet::score(int task) const
{
    const Task *t = find(task);
    if (!t)
        return std::nullopt;
    bool ok = false;
    const int value = m_scores.value(task).trimmed().toInt(&ok);
    if (!ok || value < 0 || value > maxOf(*t))
        return std::nullopt;
    return value;
}

int ScoreSheet::total() const
{
    int sum = 0;
    for (const Task &t : m_tasks)
        sum += score(t.id).value_or(0);
    return sum;
}

int ScoreSheet::maximum() const
{
    int sum = 0;
    for (const Task &t : m_tasks)
        sum += maxOf(t);
    return sum;
}

bool ScoreSheet::wantsComment(int task) const
{
    const Task *t = find(task);
    const std::optional<int> s = score(task);
    return t && m_touched.contains(task) && s && *s < maxOf(*t) && m_comments.value(task).isEmpty();
}

std::optional<ScoreSheet::Refusal> ScoreSheet::firstRefusal() const
{
    for (const Task &t : m_tasks)
        if (!hasSaneMaximum(t))
            return Refusal{t.id, Rule::Maximum};
    for (const Task &t : m_tasks) {
        const std::optional<int> s = score(t.id);
        if (!s)
            return Refusal{t.id, Rule::Range};
        if (*s < maxOf(t) && m_comments.value(t.id).isEmpty())
            return Refusal{t.id, Rule::Comment};
    }
    return std::nullopt;
}

QList<TaskScore> ScoreSheet::rows() const
{
    QList<TaskScore> out;
    for (const Task &t : m_tasks)
        out.append({t.id, score(t.id).value_or(0), m_comments.value(t.id)});
    return out;
}

QList<DraftTask> ScoreSheet::draftTasks() const
{
    QList<DraftTask> out;
    for (const Task &t : m_tasks)
        out.append({t.id, m_scores.value(t.id), m_comments.value(t.id)});
    return out;
}

void ScoreSheet::fill(const QList<DraftTask> &tasks, int maxComment)
{
    for (const DraftTask &d : tasks) {
        if (!find(d.task))
            continue;
        setScore(d.task, d.score.left(kMaxScoreText));
        setComment(d.task, d.comment.left(maxComment));
    }
}

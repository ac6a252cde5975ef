#pragma once
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

#include "data/ScanMarks.h"
#include "data/VardexError.h"

// Score sheets as typed, kept on this computer until they are saved: a lost connection or a
// crash loses nothing. One SQLite file (Qt's QSQLITE driver) in the user's application data
// folder; each sheet belongs to one work, one expert and one period.
struct DraftTask {
    int task = 0;
    QString score;     // as typed, not yet checked
    QString comment;
};

struct Draft {
    int work = 0;
    int expert = 0;
    int period = 0;
    QDateTime savedAt;
    QList<DraftTask> tasks;
    QList<ScanMark> marks;   // on the work's scan
};

class DraftStore {
public:
    // The default file: QStandardPaths::AppDataLocation + "/drafts.sqlite".
    explicit DraftStore(const QString &path = defaultPath());
    ~DraftStore();
    DraftStore(const DraftStore &) = delete;
    DraftStore &operator=(const DraftStore &) = delete;

    // Why the store could not be kept: the drafts file's own error.
    class Failure : public VardexError {
    public:
        using VardexError::VardexError;
    };

    static QString defaultPath();
    bool isOpen() const { return m_open; }
    QString openFailure() const { return m_openFailure; }   // "" when open

    // All of a sheet at once, in one transaction; raises Failure when it could not be kept.
    void save(const Draft &draft);
    // The expert's sheet of a work in that period, if one is kept.
    std::optional<Draft> load(int work, int expert, int period);
    void remove(int work, int expert);
    // The works the expert has a sheet of in that period.
    QSet<int> works(int expert, int period);
    // Sheets of any other period are of no use any more.
    void dropOtherPeriods(int period);

private:
    QString m_connection;
    bool m_open = false;
    QString m_openFailure;
};

#pragma once
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <memory>
#include <optional>

#include "data/CheckedCopies.h"

#include "data/ScoreSheet.h"
#include "widgets/ScanPane.h"
#include "widgets/ChildWindow.h"
#include "widgets/Grid.h"
#include "widgets/Memo.h"

class QCompleter;
class QHBoxLayout;
class QComboBox;
class QLabel;
class QProgressBar;
class QScrollArea;
class QSplitter;
class QTimer;
class QVBoxLayout;
class DraftStore;
class ScanPane;

// Scoring: the expert's unscored works on the left, the selected work's scan in the middle, its
// score sheet on the right; a save stores one result per task and marks the work, all or
// nothing. Everything can be done from the keyboard, and what is typed is kept as a local draft
// until it is saved.
class TFormEstimateWork : public TChildForm {
    Q_OBJECT
public:
    explicit TFormEstimateWork(QWidget *parent = nullptr);
    ~TFormEstimateWork() override;

    TDBGrid *DBGrid1 = nullptr;
    QScrollArea *sheetArea = nullptr;
    QPushButton *BitBtn1 = nullptr;        // "Сохранить"
    QLabel *LabelWork = nullptr;           // names the work whose sheet is shown
    QLabel *LabelDraft = nullptr;          // "Восстановлен несохранённый черновик от …", on its own line
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *LabelProgress = nullptr;       // "Оценено X из Y"
    QLabel *LabelTotal = nullptr;          // "Итого: N из M"
    QLabel *LabelCopies = nullptr;         // "Проверенные копии ожидают отправки: N", and why one was not made
    ScanPane *Scan = nullptr;
    QSplitter *Splitter = nullptr;

    static QString keyList();
    void openWork(int step);    // the next (1) or previous (-1) work of the list, focus in its sheet
    void focusFirstScore();
    void updateTotal();
    void updateProgress();
    void writeDraft();          // the sheet as typed into the draft store, if it changed
    void draftNotKept(const QString &reason);   // logged; told once per window
    std::optional<CheckedCopies::Copy> checkedCopy(int work);
    void makeCheckedCopy(const CheckedCopies::Copy &copy);
    void showCopies();
    QString m_copyNote;      // why the last checked copy was not made
    QString m_sendFailure;   // why the last try to send a queued copy failed, until one goes through
    DraftStore *drafts() const { return m_drafts.get(); }

    void readData();
    void DBGrid1CellClick();
    void readEstimate(int workId);
    void removeComponent();
    void BitBtn1Click();
    void focusTask(int ordinal);   // the score box of the task shown ordinal-th (from 1)
    // The expert's earlier comments on the task of this comment box, most used first, in a list
    // under the cursor filtered by what the box holds; Enter puts one in (Ctrl+Space).
    void offerComments(TMemo *memo);
    QCompleter *commentList() const { return m_commentList; }
    int sheetWork() const { return m_workId; }   // 0: no sheet on screen

protected:
    void FormClose() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // the constructor's steps
    QWidget *buildList(QWidget *parent);
    QWidget *buildSheet(QWidget *parent);
    QHBoxLayout *buildBottom();
    void bindKeys();
    void bindDrafts();
    void bindComments();
    // One task of the sheet on screen and its controls.
    struct Task {
        int id;
        int max;
        QComboBox *score;
        TMemo *memo;
        QList<QWidget *> widgets;   // all of it, title to bar, in the sheet
        QString title;              // as stored
    };
    const Task *taskOf(const QWidget *control) const;
    void setSheet(int workId);
    bool checkSheet();
    void markRefused(QWidget *box);
    bool commentsFit();
    bool m_draftsFailureTold = false;   // false (said, focus in the box) when the table cannot hold a comment
    int m_sheetExpert = -1;   // who was logged in when the sheet was built
    QVBoxLayout *m_sheet = nullptr;
    int m_workId = 0;
    QList<Task> m_tasks;   // in the query's order: descending id; on screen the other way round
    void sheetEdited();
    void fillFromDraft();
    void showScan(int workId);
    std::unique_ptr<DraftStore> m_drafts;
    QTimer *m_draftTimer = nullptr;
    QMetaObject::Connection m_focusWatch;
    bool m_dirty = false;       // typed since the last draft was written
    bool m_filling = false;     // the sheet is being filled, not typed
    int m_period = 0;
    QDateTime m_draftRestored;  // when the sheet on screen came from a draft
    QSet<int> m_draftWorks;     // the works with a draft of this expert: marked in the list
    ScoreSheet m_rules;         // the sheet's scores and comments as typed, and their rules
    QString m_prefix;           // of the work on screen
    QHash<const QObject *, QString> m_wholeTitles;   // a cut title's caption -> the whole title
    QHash<int, QStringList> m_earlierComments;   // by task, most used first: read with the sheet
    QCompleter *m_commentList = nullptr;
    void readEarlierComments(int workId);
    using TaskDef = ScoreSheet::Task;
    void prefetchNext();
    struct Ahead {
        int work = 0;
        QList<TaskDef> tasks;
        WorkScan scan;
    } m_ahead;   // the work read ahead: the next one in the list
    QTimer *m_prefetchTimer = nullptr;
};

extern TFormEstimateWork *FormEstimateWork;

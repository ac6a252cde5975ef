#pragma once
#include <optional>

#include "widgets/ChildForms.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QScrollArea;
class QVBoxLayout;

// Scoring: the expert's unscored works on the left, the score sheet of the clicked work on the
// right; a save stores one result per task and marks the work, all or nothing.
class TFormEstimateWork : public TChildForm {
    Q_OBJECT
public:
    explicit TFormEstimateWork(QWidget *parent = nullptr);

    TDBGrid *DBGrid1 = nullptr;
    QScrollArea *ScrollBox1 = nullptr;
    QPushButton *BitBtn1 = nullptr;        // "Сохранить"
    QLabel *LabelWork = nullptr;           // names the work whose sheet is shown
    QProgressBar *ProgressBar1 = nullptr;

    void readData();
    void DBGrid1CellClick();
    void readEstimate(int workId);
    void removeComponent();
    // The score typed for a task, if it is a whole number from 0 to max.
    std::optional<int> getValueEstim(const QString &name, int max) const;
    int getValueMemo(const QString &name);
    QString getValueMemoText(const QString &name) const;
    void BitBtn1Click();
    int sheetWork() const { return m_workId; }   // 0: no sheet on screen

protected:
    void FormClose() override;

private:
    struct Task {
        int id;
        int max;
    };
    void setSheet(int workId);
    bool checkSheet();
    void markRefused(QWidget *box);
    int m_sheetExpert = -1;   // who was logged in when the sheet was built
    QVBoxLayout *m_sheet = nullptr;
    int m_workId = 0;
    QList<Task> m_tasks;   // in the query's order: descending id
};

extern TFormEstimateWork *FormEstimateWork;

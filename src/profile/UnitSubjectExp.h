#pragma once
#include "widgets/ChildWindow.h"
#include "data/ADataER.h"

class QCheckBox;
class QScrollArea;
class QToolButton;

// The expert's subject areas: one check box per subject area, saved as a whole.
class TFormSubjectExp : public TChildForm {
    Q_OBJECT
public:
    explicit TFormSubjectExp(QWidget *parent = nullptr);

    QScrollArea *ScrollBox3 = nullptr;
    QToolButton *SpeedButton7 = nullptr;   // select all
    QToolButton *SpeedButton8 = nullptr;   // clear all
    QPushButton *BitBtn2 = nullptr;        // save

    QList<QCheckBox *> checkBoxes() const;
    void CreateCheckSubj();
    void CheckSubjExp();
    void selectCheck(bool state);
    bool choiceCheck() const;
    QList<int> chosenIds() const;   // the ticked subject areas
    void removeCheck();
    void BitBtn2Click();

protected:
    void FormClose() override { removeCheck(); }

private:
    QWidget *m_list = nullptr;
    QList<QPair<QCheckBox *, int>> m_boxes;   // each box with its subject area's id
    int m_expert = DataER ? DataER->userID : -1;   // whose choice the ticks show
};

extern TFormSubjectExp *FormSubjectExp;

#pragma once
#include "widgets/ChildWindow.h"
#include "widgets/LookupCombo.h"
#include "widgets/Memo.h"

class QHBoxLayout;
class QLabel;
class ScanPane;
class QScrollArea;
class QVBoxLayout;

// Answers to appeals: a discipline, an applicant, one answer box per claim.
class AppealsWindow : public TChildForm {
    Q_OBJECT
public:
    explicit AppealsWindow(QWidget *parent = nullptr);

    TLookupCombo *disciplineList;
    TLookupCombo *applicantList;
    QLabel *formLabel;   // how the appeal was filed (on line, on paper)
    QScrollArea *claimsArea;
    QPushButton *saveButton;       // "Сохранить"
    QPushButton *documentButton;   // "Выгрузить"
    // beside the claims: the applicant's work, its scan and what it was given per task
    QLabel *workLabel;
    ScanPane *Scan;
    QLabel *scoresLabel;
    void showWork();

    void readApplicants();
    void showAppealForm();
    void buildAnswers();
    void clearAnswers();
    void save();
    void openDocument();

protected:
    void FormClose() override { clearAnswers(); }
    void showEvent(QShowEvent *event) override;

private:
    // the constructor's steps
    QWidget *buildClaims(QWidget *parent);
    QWidget *buildWork(QWidget *parent);
    QHBoxLayout *buildBottom();
    void bind();
    QVBoxLayout *m_claims;
    QList<QPair<int, TMemo *>> m_answers;   // claim and its answer box, in the order they are stored
    bool m_shown = false;
    int m_claimsExpert = -1;   // whose claims are shown
};

extern AppealsWindow *appealsWindow;

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
class TFormAppealAsnswer : public TChildForm {
    Q_OBJECT
public:
    explicit TFormAppealAsnswer(QWidget *parent = nullptr);

    TLookupCombo *disciplineList;   // discipline
    TLookupCombo *applicantList;   // applicant
    QLabel *Label3;
    QScrollArea *claimsArea;
    QPushButton *saveButton;              // "Сохранить"
    QPushButton *documentButton;              // "Выгрузить"
    // beside the claims: the applicant's work, its scan and what it was given per task
    QLabel *LabelWork;
    ScanPane *Scan;
    QLabel *LabelScores;
    void showWork();

    void readUser();
    void infoAppeal();
    void createAnswer();
    void removeComponent();
    void save();
    void openDocument();

protected:
    void FormClose() override { removeComponent(); }
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

extern TFormAppealAsnswer *FormAppealAsnswer;

#pragma once
#include "widgets/ChildForms.h"

class QLabel;
class QScrollArea;
class QVBoxLayout;

// Answers to appeals: a discipline, an applicant, one answer box per claim.
class TFormAppealAsnswer : public TChildForm {
    Q_OBJECT
public:
    explicit TFormAppealAsnswer(QWidget *parent = nullptr);

    TLookupCombo *DBLookupComboBox1;   // discipline
    TLookupCombo *DBLookupComboBox2;   // applicant
    QLabel *Label3;
    QScrollArea *ScrollBox1;
    QPushButton *BitBtn2;              // "Сохранить"
    QPushButton *BitBtn3;              // "Выгрузить"

    void readUser();
    void infoAppeal();
    void createAnswer();
    void removeComponent();
    void BitBtn2Click();
    void BitBtn3Click();

protected:
    void FormClose() override { removeComponent(); }
    void showEvent(QShowEvent *event) override;

private:
    QVBoxLayout *m_claims;
    bool m_shown = false;
};

extern TFormAppealAsnswer *FormAppealAsnswer;

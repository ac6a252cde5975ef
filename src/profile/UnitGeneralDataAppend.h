#pragma once
#include "widgets/ChildWindow.h"
#include "widgets/LookupCombo.h"
#include "data/ProfileData.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QTabWidget;

// The expert's additional data on four pages, each saved by its own button.
class TFormGeneralDataAppend : public TChildForm {
    Q_OBJECT
public:
    explicit TFormGeneralDataAppend(QWidget *parent = nullptr);

    QTabWidget *PageControl1;
    TLookupCombo *DBComboArea;
    QLineEdit *Editcyti, *Editstreet, *Edithome, *Editoffice;
    QCheckBox *CheckBox1;
    QLineEdit *EditareasReg, *EditcityReg, *EditStreetReg, *EdithomeReg, *EditofficeReg;
    QLineEdit *EditnameOfBank, *EditrecipientsAccount, *EditKORscore, *EditBIK, *EditKPP, *EditINNbank;
    QLineEdit *Editsnils, *Editinn, *Editdocument, *EditseriesDoc, *EditnumberDoc, *EditIssuedByWhomDoc;
    QDateEdit *DateTimePicker1;
    QLineEdit *EditplaceOfWork, *EditpostOfWork;
    TLookupCombo *ComboBoxacademicDegree;
    QPushButton *BitBtn2, *BitBtn3, *BitBtn4, *BitBtn5;

    void CheckBox1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void bind();
    void FormCreate();
    struct Field {
        const char *column;
        QWidget *box;   // where the focus goes when its text is refused
        QVariant value;
    };
    void save(ProfileData::Part part, const QList<Field> &fields, const QString &failure);
};

extern TFormGeneralDataAppend *FormGeneralDataAppend;

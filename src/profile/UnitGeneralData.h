#pragma once
#include <QLineEdit>

#include "widgets/ChildWindow.h"

class QLabel;

// The phone field: "(+7)" and ten digits. A number other than the stored one with fewer than
// ten digits stays refused (on leaving the field and on saving) until it is complete or the
// stored number is back; Esc brings the stored number back.
class TPhoneEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TPhoneEdit(QWidget *parent = nullptr);
    int digits() const;
    void setStored(const QString &number);
    bool acceptable() const { return digits() == 10 || text() == m_stored; }
    void refuse();   // the message, and the focus back in the field

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_stored;
};

// Surname, name, patronymic and phone of the logged-in expert.
class TFormGeneralData : public TDialogForm {
    Q_OBJECT
public:
    explicit TFormGeneralData(QWidget *parent = nullptr);
    QLineEdit *Editsurname, *Editname, *Editpatronymic;
    TPhoneEdit *EditPhone;
    QLabel *LabelEmail;
    QPushButton *BitBtn1;   // "Сохранить"

    static bool checkCyr(const QString &text);   // true: holds a Latin letter
    void CheckSymbol(QLineEdit *field);
    bool checkParams();

    void accept() override;   // FormCloseQuery: only a valid dialog closes with "Сохранить"

protected:
    void showEvent(QShowEvent *event) override;
};

// "Личные данные": the dialog over parent and the update.
void N102Click(QWidget *parent);

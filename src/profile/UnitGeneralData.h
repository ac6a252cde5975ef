#pragma once
#include <QLineEdit>

#include "app/ChildForms.h"

class QLabel;
class TFormMainER;

// The phone field: "(+7)" and ten digits. An edited number with fewer than ten digits is refused
// when the field loses the focus; Esc brings back the text it had before.
class TPhoneEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TPhoneEdit(QWidget *parent = nullptr);
    int digits() const;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_before;
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

void N102Click(TFormMainER &main);

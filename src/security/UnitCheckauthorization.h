#pragma once
#include "app/ChildForms.h"

class QLineEdit;

// The login dialog: e-mail and password, and a button for the network choice.
class TFormCheckauthorization : public TDialogForm {
    Q_OBJECT
public:
    explicit TFormCheckauthorization(QWidget *parent = nullptr);
    ~TFormCheckauthorization() override;
    QLineEdit *Edit1;   // login
    QLineEdit *Edit2;   // password

protected:
    void showEvent(QShowEvent *event) override;
};

extern TFormCheckauthorization *FormCheckauthorization;

class TFormMainER;
// "Авторизация": the dialog, the account check and the session.
void N2Click(TFormMainER &main);

#pragma once
#include "widgets/ChildWindow.h"

class QLineEdit;

// "Изменить пароль": the new password, typed once.
class TFormChangePassword : public TDialogForm {
    Q_OBJECT
public:
    explicit TFormChangePassword(QWidget *parent = nullptr);
    QLineEdit *EditPassword;

protected:
    void showEvent(QShowEvent *event) override;
};

// "Забыли пароль?": the login to send a new password to.
class TFormForgotPassword : public TDialogForm {
    Q_OBJECT
public:
    explicit TFormForgotPassword(QWidget *parent = nullptr);
    QLineEdit *Edit1;

protected:
    void showEvent(QShowEvent *event) override;
};

enum class PasswordLetter { NewPassword, Recovery };
// The letter's HTML; the password is escaped so that it arrives exactly as set.
QString passwordLetterBody(PasswordLetter kind, const QString &password);

// "Изменить пароль" and "Забыли пароль?", each with its dialog over parent.
void N104Click(QWidget *parent);
void N10Click(QWidget *parent);

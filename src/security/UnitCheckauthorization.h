#pragma once
#include "widgets/ChildWindow.h"

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

// What came of "Авторизация": the shell updates its panels, menu and announcement from it.
enum class LoginOutcome {
    Cancelled,   // the dialog was closed: the session stays as it was
    Refused,     // unknown login or wrong password: nobody is logged in any more
    LoggedIn,    // the session is the new expert's (DataER: userID, FIO, LoginUser)
};

// "Авторизация": the dialog, the account check and the session.
// `whileChecking` runs while the password is checked off the window's thread: reads that do not
// depend on the outcome overlap the hash instead of following it.
// `showUser` puts a text in the shell's user panel at the moments the login orders (before a
// refusal's box; before the last-login date is written, so a failure there leaves it shown).
LoginOutcome N2Click(QWidget *parent, const std::function<void()> &whileChecking = {},
                     const std::function<void(const QString &)> &showUser = {});

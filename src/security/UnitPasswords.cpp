#include "security/UnitPasswords.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "security/Bcrypt.h"
#include "widgets/Fields.h"

namespace {

const QString kSenderName = QStringLiteral("Образовательный центр \"Ветлан\"");

// Label, field and the two buttons of both dialogs; the OK button gets its own caption and hint.
QLineEdit *buildDialog(TDialogForm *dialog, const QString &label, const QString &okCaption, const QString &okHint)
{
    auto *grid = new QGridLayout(dialog);
    auto *edit = new QLineEdit(dialog);
    grid->addWidget(captionFor(edit, label, dialog), 0, 0);
    grid->addWidget(edit, 0, 1);
    auto *row = new QHBoxLayout;
    dialog->addOkCancel(row, okHint, QStringLiteral("Отмена"), okCaption);
    grid->addLayout(row, 1, 0, 1, 2);
    dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowMinMaxButtonsHint);
    return edit;
}

// The letter goes out off the window's thread, under a wait cursor, the window still painting.
bool sendLetter(const QString &subject, const QString &address, const QString &body)
{
    bool sent = false;
    runOffThread([&] { sent = DataER->MailSend(subject, kSenderName, address, body); });
    return sent;
}

} // namespace

TFormChangePassword::TFormChangePassword(QWidget *parent)
    : TDialogForm(QStringLiteral("Установить новый пароль"), 576, 116, parent)
{
    EditPassword = buildDialog(this, QStringLiteral("Новый пароль:"), QStringLiteral("Изменить пароль"),
                               QStringLiteral("Изменить пароль в АИС и выслать на Ваш электронный адрес пароль.  Если Ваш "
                                              "логин не является E-Mail, то отправка письма не состоится"));
    EditPassword->setObjectName(QStringLiteral("EditPassword"));
    EditPassword->setMaxLength(25);
    showAsStars(EditPassword);
    setHint(EditPassword, QStringLiteral("Введите Ваш новый пароль"));
    EditPassword->setPlaceholderText(QStringLiteral("Введите Ваш новый  пароль"));
    EditPassword->setCursor(Qt::PointingHandCursor);
}

void TFormChangePassword::showEvent(QShowEvent *event)
{
    TDialogForm::showEvent(event);
    EditPassword->setFocus();
}

TFormForgotPassword::TFormForgotPassword(QWidget *parent)
    : TDialogForm(QStringLiteral("Восстановление пароля"), 645, 106, parent)
{
    Edit1 = buildDialog(this, QStringLiteral("Логин (E-Mail):"), QStringLiteral("Восстановить"),
                        QStringLiteral("Выслать на Ваш электронный адрес пароль.  Если Ваш логин не является E-Mail, то "
                                       "обратитесь к школьному координатору"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(256);
    setHint(Edit1, QStringLiteral("Введите свой логин"));
    Edit1->setPlaceholderText(QStringLiteral("Поля для ввода логина"));
}

void TFormForgotPassword::showEvent(QShowEvent *event)
{
    TDialogForm::showEvent(event);
    Edit1->setFocus();
}

QString passwordLetterBody(PasswordLetter kind, const QString &password)
{
    const QString heading = kind == PasswordLetter::NewPassword
        ? QStringLiteral("<P align=\"center\"><B>Ваш новый пароль:</B></P><P align=\"center\"><B><font size=\"+2\">")
        : QStringLiteral("<P align=\"center\"><B>Ваш пароль:</B></P><P align=\"center\"><B><font size=\"+2\">");
    return heading + password.toHtmlEscaped() + QStringLiteral("</font></B></P>")
        + QStringLiteral("<p align=\"center\"><Font color=\"blue\">Это письмо создано автоматически. Не отвечайте на него.</font></p>")
        + QStringLiteral("<p align=\"center\"><Font color=\"blue\">Если это письмо адресовано не Вам, удалите его.</font></p>");
}

void N104Click(QWidget *parent)
{
    TFormChangePassword dialog(parent);
    if (Platform::get().execDialog(dialog) != QDialog::Accepted)
        return;
    const QString password = TDataER::Trim(dialog.EditPassword->text());
    if (password.isEmpty()) {
        Platform::get().error(QStringLiteral("Не введен новый пароль"));
        return;
    }
    setPasswordHash(DataER->userID, TBCrypt::HashPassword(password));
    const QString login = DataER->LoginUser;
    if (sendLetter(QStringLiteral("Изменение пароля"), login, passwordLetterBody(PasswordLetter::NewPassword, password)))
        Platform::get().information(QStringLiteral("На электронную почту ") + login + QStringLiteral(" Вам отправлен новый пароль."));
    else
        Platform::get().error(QStringLiteral("Не удалось отправить сообщение с новым паролем."));
}

void N10Click(QWidget *parent)
{
    TFormForgotPassword dialog(parent);
    if (Platform::get().execDialog(dialog) != QDialog::Accepted)
        return;
    const QString login = TDataER::Trim(dialog.Edit1->text());
    if (login.isEmpty()) {
        Platform::get().error(QStringLiteral("Не введен логин "));
        return;
    }
    if (!login.contains(QLatin1Char('@')) || !login.contains(QLatin1Char('.'))) {
        Platform::get().error(QStringLiteral("Введенный логин не является адресом электронной почты"));
        return;
    }
    const std::optional<Account> account = TDataER::isPlainLogin(login) ? findAnyAccount(login) : std::nullopt;
    if (!account) {
        Platform::get().errorAboutTyped(QStringLiteral("Пользователь с логином ") + login + QStringLiteral(" не найден в БД"), login);
        return;
    }
    // the letter goes to the address on record, never to the typed text
    const QString address = account->email;
    const QString password = TDataER::generatePassword(7);
    // The new password counts only once the letter that tells it has been taken by the server.
    Transaction transaction(*DataER);
    setPasswordHash(account->id, TBCrypt::HashPassword(password));
    if (sendLetter(QStringLiteral("Восстановление пароля"), address, passwordLetterBody(PasswordLetter::Recovery, password))) {
        transaction.commit();
        Platform::get().information(QStringLiteral("На электронную почту ") + address + QStringLiteral(" Вам отправлен пароль."));
    } else {
        Platform::get().error(QStringLiteral("Не удалось отправить сообщение с восстановленным паролем. Проверьте "
                                             "правильность введенного E-Mail и повторите попытку восстановления позже."));
    }
}

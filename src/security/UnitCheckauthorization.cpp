#include "security/UnitCheckauthorization.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "security/UnitNetSelect.h"
#include "security/Bcrypt.h"
#include "widgets/Fields.h"

TFormCheckauthorization *FormCheckauthorization = nullptr;

TFormCheckauthorization::TFormCheckauthorization(QWidget *parent)
    : TDialogForm(QStringLiteral("Авторизация (Вход в АРМ эксперта регионального этапа)"), 637, 136, parent)
{
    FormCheckauthorization = this;
    QFont f = font();
    f.setPixelSize(16);
    setFont(f);
    auto *grid = new QGridLayout(this);
    Edit1 = new QLineEdit(this);
    grid->addWidget(captionFor(Edit1, QStringLiteral("Логин (E-Mail):"), this), 0, 0);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(128);
    Edit1->setPlaceholderText(QStringLiteral("Поле для ввода логина эксперта"));
    grid->addWidget(Edit1, 0, 1);
    Edit2 = new QLineEdit(this);
    grid->addWidget(captionFor(Edit2, QStringLiteral("Пароль:"), this), 1, 0);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setMaxLength(25);
    showAsStars(Edit2);
    setHint(Edit2, QStringLiteral("Поле для ввода пароля"));
    Edit2->setPlaceholderText(QStringLiteral("Поле для ввода пароля эксперта"));
    grid->addWidget(Edit2, 1, 1);

    auto *bottom = new QHBoxLayout;
    auto *net = new QToolButton(this);
    net->setObjectName(QStringLiteral("SpeedButton1"));
    net->setText(QStringLiteral("⇄"));
    net->setCursor(Qt::PointingHandCursor);
    setHint(net, QStringLiteral("Выбор сети"));
    // SpeedButton1Click: the network choice without closing any child window.
    connect(net, &QToolButton::clicked, this, [this] { runCommand([this] { chooseNetwork(this, nullptr); }); });
    bottom->addWidget(net);
    addOkCancel(bottom, QStringLiteral("Вход в кабинет"), QStringLiteral("Отмена"));
    grid->addLayout(bottom, 2, 0, 1, 2);
}

TFormCheckauthorization::~TFormCheckauthorization()
{
    if (FormCheckauthorization == this)
        FormCheckauthorization = nullptr;
}

void TFormCheckauthorization::showEvent(QShowEvent *event)
{
    TDialogForm::showEvent(event);
    Edit2->clear();
    Edit1->setFocus();
}

LoginOutcome N2Click(QWidget *parent, const std::function<void()> &whileChecking,
                     const std::function<void(const QString &)> &showUser)
{
    const auto panel = [&](const QString &text) {
        if (showUser)
            showUser(text);
    };
    TFormCheckauthorization dialog(parent);
    if (Platform::get().execDialog(dialog) != QDialog::Accepted)
        return LoginOutcome::Cancelled;
    const QString login = dialog.Edit1->text();
    std::optional<Account> account;
    try {
        if (TDataER::isPlainLogin(login))
            account = findActiveExpert(login);
    } catch (const AmbiguousLogin &e) {
        DataER->userID = -1;
        Platform::get().error(e.message());
        return LoginOutcome::Refused;
    }
    if (!account) {
        Platform::get().error(QStringLiteral("Не верный логин"));
        DataER->userID = -1;
        return LoginOutcome::Refused;
    }
    const QString password = dialog.Edit2->text();
    bool matches = false;
    // A stored hash of high cost takes long: the window keeps painting meanwhile.
    runOffThread([&] { matches = TBCrypt::CheckPassword(password, account->hash); }, whileChecking);
    if (!matches) {
        DataER->userID = -1;
        panel(QStringLiteral("Не авторизованный пользователь"));
        Platform::get().error(QStringLiteral("Не верный пароль или учетная запись заблокирована"));
        return LoginOutcome::Refused;
    }
    DataER->userID = account->id;
    DataER->FIO = account->fio;
    DataER->LoginUser = account->email;   // letters go to the stored address
    panel(QStringLiteral("РЭ: ") + account->fio);
    markLastEnter(account->id);
    return LoginOutcome::LoggedIn;
}

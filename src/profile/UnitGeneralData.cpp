#include "profile/UnitGeneralData.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/ProfileData.h"
#include "widgets/Fields.h"

TPhoneEdit::TPhoneEdit(QWidget *parent) : QLineEdit(parent)
{
    setInputMask(QStringLiteral("(+7)9999999999;_"));
}

int TPhoneEdit::digits() const
{
    int n = 0;
    for (QChar c : text().mid(4))
        n += c.isDigit() ? 1 : 0;
    return n;
}

void TPhoneEdit::setStored(const QString &number)
{
    setText(number);
    m_stored = text();   // as the mask shows it
}

void TPhoneEdit::refuse()
{
    Platform::get().error(QStringLiteral("Invalid input value.  Use escape key to abandon changes"));
    QTimer::singleShot(0, this, [this] { setFocus(); });
}

void TPhoneEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // a popup or another window taking the focus is not leaving the field
    if (!acceptable() && event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        refuse();
}

void TPhoneEdit::keyPressEvent(QKeyEvent *event)
{
    // Esc abandons the change and keeps the dialog open
    if (event->key() == Qt::Key_Escape && text() != m_stored) {
        setText(m_stored);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

TFormGeneralData::TFormGeneralData(QWidget *parent)
    : TDialogForm(QStringLiteral("Редактирование основных личных данных регионального эксперта"), 1014, 322, parent)
{
    setWindowFlags(windowFlags() & ~Qt::WindowMinMaxButtonsHint);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto star = [this] {
        auto *l = new QLabel(QStringLiteral("*"), this);
        l->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
        return l;
    };
    auto nameRow = [&](const char *object, const QString &caption, const QString &placeholder, const QString &hint) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(object));
        edit->setMaxLength(64);
        edit->setFixedWidth(600);
        edit->setPlaceholderText(placeholder);
        if (!hint.isEmpty())
            setHint(edit, hint);
        auto *row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(star());
        row->addStretch();
        form->addRow(captionFor(edit, caption, this), row);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { CheckSymbol(edit); });
        return edit;
    };
    Editsurname = nameRow("Editsurname", QStringLiteral("Фамилия:"),
                          QStringLiteral("Введите свою фамилию на кириллице - русской раскладке клавиатуры"),
                          QStringLiteral("Введите свою фамилию на кириллице (русской раскладке клавиатуры). Латиница и "
                                         "цифры не допустимы. Разрешено использование дефиса"));
    Editname = nameRow("Editname", QStringLiteral("Имя:"),
                       QStringLiteral("Введите своё имя на кириллице - русской раскладке клавиатуры"),
                       QStringLiteral("Введите своё имя на кириллице - русской раскладке клавиатуры. Латиница и цифры "
                                      "не допустимы. Разрешено использование дефиса"));
    Editpatronymic = nameRow("Editpatronymic", QStringLiteral("Отчество:"),
                             QStringLiteral("Введите своё отчество на кириллице - русской раскладке клавиатуры"), {});
    LabelEmail = plainLabel(QString(), this);
    LabelEmail->setObjectName(QStringLiteral("LabelEmail"));
    QFont bold = LabelEmail->font();
    bold.setBold(true);
    LabelEmail->setFont(bold);
    form->addRow(QStringLiteral("E-Mail (Логин):"), LabelEmail);
    EditPhone = new TPhoneEdit(this);
    EditPhone->setObjectName(QStringLiteral("EditPhone"));
    EditPhone->setPlaceholderText(QStringLiteral("10 последних цифр номера телефона"));
    setHint(EditPhone, QStringLiteral("Введите номер телефона (10 последних цифр номера телефона)"));
    EditPhone->setFixedWidth(200);
    auto *phoneCaption = captionFor(EditPhone, QStringLiteral("№ сотового телефона (На выбор:\nличный, любой другой контактный):"), this);
    phoneCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(phoneCaption, EditPhone);
    layout->addLayout(form);
    auto *note = new QLabel(QStringLiteral("Примечание: Символом <span style=\"color:red; font-weight:bold\">*</span>"
                                           "Обозначены обязательные для ввода поля"), this);
    layout->addWidget(note);
    layout->addStretch();

    auto *bottom = new QHBoxLayout;
    BitBtn1 = addOkCancel(bottom, QStringLiteral("Сохранить в БД внесенные изменения"), QStringLiteral("Отмена"),
                          QStringLiteral("Сохранить"));
    layout->addLayout(bottom);
}

void TFormGeneralData::showEvent(QShowEvent *event)
{
    TDialogForm::showEvent(event);
    Editsurname->setFocus();
}

bool TFormGeneralData::checkCyr(const QString &text)
{
    for (QChar c : text)
        if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')))
            return true;
    return false;
}

void TFormGeneralData::CheckSymbol(QLineEdit *field)
{
    const bool latin = checkCyr(field->text());
    field->setStyleSheet(latin ? QStringLiteral("background-color: red; color: white;")
                               : QString());   // the palette's own colours
    BitBtn1->setEnabled(!latin && !field->text().isEmpty());
}

bool TFormGeneralData::checkParams()
{
    struct Check {
        QLineEdit *field;
        const char *empty;
        const char *latin;
    };
    const Check checks[] = {
        {Editsurname, "Не введена фамилия", "В фамилии используются недопустимые символы"},
        {Editname, "Не введено имя", "В имени используются недопустимые символы"},
        {Editpatronymic, "Не введено отчество", "В отчестве используются недопустимые символы"},
    };
    for (const Check &c : checks) {
        const QString text = c.field->text().trimmed();
        const char *message = text.isEmpty() ? c.empty : checkCyr(text) ? c.latin : nullptr;
        if (message) {
            Platform::get().error(QString::fromUtf8(message));
            c.field->setFocus();
            return false;
        }
    }
    return true;
}

void TFormGeneralData::accept()
{
    if (!EditPhone->acceptable()) {
        EditPhone->refuse();
        return;
    }
    if (!checkParams())
        return;
    for (const auto &[box, column] : {std::pair<QLineEdit *, const char *>{Editsurname, "surname"}, {Editname, "name"},
                                      {Editpatronymic, "patronymic"}, {EditPhone, "phone"}})
        if (!storableIn(box, QStringLiteral("zet_users"), QString::fromLatin1(column), box->text()))
            return;
    TDialogForm::accept();
}

void N102Click(QWidget *parent)
{
    TFormGeneralData dialog(parent);
    if (const std::optional<ProfileData::Personal> p = ProfileData::personal(DataER->userID)) {
        dialog.LabelEmail->setText(p->email);
        setStoredText(dialog.Editsurname, p->surname);
        setStoredText(dialog.Editname, p->name);
        setStoredText(dialog.Editpatronymic, p->patronymic);
        dialog.EditPhone->setStored(p->phone);
    }
    if (Platform::get().execDialog(dialog) != QDialog::Accepted)
        return;
    ProfileData::savePersonal(DataER->userID,
                              {{}, TDataER::my_ucfirst(dialog.Editsurname->text()), TDataER::my_ucfirst(dialog.Editname->text()),
                               TDataER::my_ucfirst(dialog.Editpatronymic->text()), dialog.EditPhone->text().trimmed()});
    Platform::get().information(QStringLiteral("Данные обновлены."));
}

#include "profile/UnitGeneralDataAppend.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/ProfileData.h"
#include "data/VardexError.h"
#include "widgets/Fields.h"

TFormGeneralDataAppend *FormGeneralDataAppend = nullptr;

namespace {

// One page: captions above full-width fields, a blue heading, the save button at the bottom.
class PageBuilder {
public:
    PageBuilder(QTabWidget *tabs, const QString &title, const QString &hint, const QString &heading)
    {
        m_page = new QWidget;
        m_layout = new QVBoxLayout(m_page);
        auto *scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(m_page);
        scroll->setAccessibleName(QStringLiteral("Страница: ") + title);
        const int index = tabs->addTab(scroll, title);
        tabs->setTabToolTip(index, hint);
        this->heading(heading);
    }
    void heading(const QString &text)
    {
        auto *l = new QLabel(text, m_page);
        l->setStyleSheet(QStringLiteral("color: palette(link); font-weight: bold;"));
        m_layout->addWidget(l);
    }
    QLineEdit *field(const char *name, const QString &caption, int maxLength, const QString &placeholder,
                     const QString &hint = {})
    {
        auto *edit = new QLineEdit(m_page);
        edit->setObjectName(QString::fromLatin1(name));
        if (maxLength > 0)
            edit->setMaxLength(maxLength);
        edit->setPlaceholderText(placeholder);
        const QString tip = hint.isEmpty() ? placeholder : hint;
        setHint(edit, tip);
        add(caption, edit);
        return edit;
    }
    void add(const QString &caption, QWidget *w)
    {
        if (!caption.isEmpty())
            m_layout->addWidget(captionFor(w, caption, m_page));
        w->setParent(m_page);
        m_layout->addWidget(w);
    }
    QPushButton *saveButton(const char *name, const QString &caption)
    {
        m_layout->addStretch();
        auto *b = hintedButton(m_page, caption, name, QStringLiteral("Сохранить в БД изменения"));
        m_layout->addWidget(b, 0, Qt::AlignRight);
        return b;
    }

private:
    QWidget *m_page;
    QVBoxLayout *m_layout;
};

} // namespace

TFormGeneralDataAppend::TFormGeneralDataAppend(QWidget *parent)
    : TChildForm(QStringLiteral("Дополнительные личные данные эксперта"), parent)
{
    resize(703, 644);
    auto *layout = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    hintTabs(PageControl1);
    layout->addWidget(PageControl1, 1);

    PageBuilder address(PageControl1, QStringLiteral("Адрес"),
                        QStringLiteral("Адрес проживания, регистрации эксперта. Просмотр и редактирование"),
                        QStringLiteral("Адрес проживания:"));
    DBComboArea = new TLookupCombo;
    DBComboArea->setObjectName(QStringLiteral("DBComboArea"));
    setHint(DBComboArea, QStringLiteral("Выбор муниципального образования"));
    address.add(QStringLiteral("Муниципальное образование:"), DBComboArea);
    Editcyti = address.field("Editcyti", QStringLiteral("Город (населенный пункт):"), 32, QStringLiteral("Населенный пункт проживания"));
    Editstreet = address.field("Editstreet", QStringLiteral("Улица:"), 64, QStringLiteral("Улица проживания"));
    Edithome = address.field("Edithome", QStringLiteral("Дом:"), 64, QStringLiteral("Дом"), QStringLiteral("Поле для ввода номера дома"));
    Editoffice = address.field("Editoffice", QStringLiteral("Квартира:"), 64, QStringLiteral("Квартира"),
                               QStringLiteral("Поле для ввода номера квартиры"));
    CheckBox1 = new QCheckBox(QStringLiteral("Адрес проживания совпадает с адресом регистрации"));
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    setHint(CheckBox1, QStringLiteral("Если адреса совападают, установите флажок"));
    address.add({}, CheckBox1);
    address.heading(QStringLiteral("Адрес регистрации:"));
    EditareasReg = address.field("EditareasReg", QStringLiteral("Муниципальное образование:"), 0,
                                 QStringLiteral("Муниципальное образование регистрации"));
    EditcityReg = address.field("EditcityReg", QStringLiteral("Город (населенный пункт):"), 0, QStringLiteral("Город регистрации"));
    EditStreetReg = address.field("EditStreetReg", QStringLiteral("Улица:"), 32, QStringLiteral("Улица регистрации"));
    EdithomeReg = address.field("EdithomeReg", QStringLiteral("Дом:"), 64, QStringLiteral("Дом"));
    EditofficeReg = address.field("EditofficeReg", QStringLiteral("Квартира:"), 64, QStringLiteral("Квартира"));
    BitBtn2 = address.saveButton("BitBtn2", QStringLiteral("Сохранить адреса"));
    // the registration address repeats the captions of the residence address: say which one
    const QList<QPair<QLineEdit *, const char *>> registration{
        {EditareasReg, "Муниципальное образование регистрации"}, {EditcityReg, "Город (населенный пункт) регистрации"},
        {EditStreetReg, "Улица регистрации"}, {EdithomeReg, "Дом регистрации"}, {EditofficeReg, "Квартира регистрации"}};
    for (const auto &[edit, name] : registration)
        edit->setAccessibleName(QString::fromUtf8(name));

    PageBuilder bank(PageControl1, QStringLiteral("Реквизиты счета"),
                     QStringLiteral("Просмотр и редактирование реквизитов банковского счета для переводов денежных средств"),
                     QStringLiteral("Просмотр и редактирование реквизитов банковского счета эксперта"));
    EditnameOfBank = bank.field("EditnameOfBank", QStringLiteral("Банк получателя:"), 128,
                                QStringLiteral("Наименование банка, например, ПАО \"Северный банк\""));
    EditrecipientsAccount = bank.field("EditrecipientsAccount", QStringLiteral("Счет получателя:"), 64,
                                       QStringLiteral("Счет получателя, например, 40817810000000000001"));
    EditKORscore = bank.field("EditKORscore", QStringLiteral("Корреспондентский счет:"), 64,
                              QStringLiteral("Корреспондентский счет банка получателя, например, 30101810000000000601"));
    EditBIK = bank.field("EditBIK", QStringLiteral("БИК:"), 64, QStringLiteral("БИК банка получателя, например, 044525601"));
    EditKPP = bank.field("EditKPP", QStringLiteral("КПП:"), 64, QStringLiteral("КПП банка получателя, например, 775001001"));
    EditINNbank = bank.field("EditINNbank", QStringLiteral("ИНН:"), 64, QStringLiteral("ИНН банка получателя, например, 7702000406"));
    BitBtn3 = bank.saveButton("BitBtn3", QStringLiteral("Сохранить реквизиты"));
    EditINNbank->setAccessibleName(QStringLiteral("ИНН банка получателя"));

    PageBuilder passport(PageControl1, QStringLiteral("Паспортные данные"), QStringLiteral("Паспортные данные, ИНН, СНИЛС"),
                         QStringLiteral("СНИЛС, ИНН, паспортные данные эксперта"));
    Editsnils = passport.field("Editsnils", QStringLiteral("СНИЛС:"), 64, QStringLiteral("номер СНИЛС"));
    Editinn = passport.field("Editinn", QStringLiteral("ИНН:"), 64, QStringLiteral("ИНН"));
    Editdocument = passport.field("Editdocument", QStringLiteral("Документ:"), 64, QStringLiteral("Документ, удостоверяющий личность"));
    EditseriesDoc = passport.field("EditseriesDoc", QStringLiteral("Серия документа:"), 64, QStringLiteral("Серия документа"));
    EditnumberDoc = passport.field("EditnumberDoc", QStringLiteral("Номер документа:"), 64, QStringLiteral("Номер документа"));
    EditIssuedByWhomDoc = passport.field("EditIssuedByWhomDoc", QStringLiteral("Кем выдан документ:"), 128, QStringLiteral("Кем выдан"));
    DateTimePicker1 = new QDateEdit;
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    wheelOnlyWithFocus(DateTimePicker1);
    passport.add(QStringLiteral("Дата выдачи документа:"), DateTimePicker1);
    BitBtn4 = passport.saveButton("BitBtn4", QStringLiteral("Сохранить паспортные данные"));

    PageBuilder work(PageControl1, QStringLiteral("Место работы"), QStringLiteral("Место работы, должность, ученая степень эксперта"),
                     QStringLiteral("Место работы, должность, ученая степень эксперта"));
    EditplaceOfWork = work.field("EditplaceOfWork", QStringLiteral("Место работы:"), 255, QStringLiteral("Место работы (основной)"));
    EditpostOfWork = work.field("EditpostOfWork", QStringLiteral("Должность:"), 64, QStringLiteral("Должность"));
    ComboBoxacademicDegree = new TLookupCombo;
    ComboBoxacademicDegree->setObjectName(QStringLiteral("ComboBoxacademicDegree"));
    setHint(ComboBoxacademicDegree, QStringLiteral("Выбор ученой степени"));
    work.add(QStringLiteral("Ученая степень:"), ComboBoxacademicDegree);
    BitBtn5 = work.saveButton("BitBtn5", QStringLiteral("Сохранить место работы"));

    auto *close = hintedButton(this, QStringLiteral("&Закрыть"), "BitBtn1", QStringLiteral("Закрыть окно"));
    connect(close, &QPushButton::clicked, this, &TChildForm::closeWindow);
    layout->addWidget(close, 0, Qt::AlignLeft);

    bind();
    FormCreate();
}

void TFormGeneralDataAppend::bind()
{
    DBComboArea->bind(ProfileData::areas(), QStringLiteral("name"), QStringLiteral("id"));
    ComboBoxacademicDegree->bind(ProfileData::degrees(), QStringLiteral("fullName"), QStringLiteral("id"));
    // The registration address follows the residence address while the box is ticked.
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    const QList<QPair<QLineEdit *, QLineEdit *>> follow{
        {Editcyti, EditcityReg}, {Editstreet, EditStreetReg}, {Edithome, EdithomeReg}, {Editoffice, EditofficeReg}};
    for (const auto &[from, to] : follow)
        connect(from, &QLineEdit::textChanged, this, [this, to = to](const QString &text) {
            if (CheckBox1->isChecked())
                setStoredText(to, text);
        });
    connect(DBComboArea, &TLookupCombo::chosen, this, [this] {   // the area chosen
        if (CheckBox1->isChecked())
            setStoredText(EditareasReg, DBComboArea->currentText());
    });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn2Click(); }); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn3Click(); }); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn4Click(); }); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn5Click(); }); });

    ownQueries(ProfileData::queries());
}

// Loads the record (made the first time) into the pages.
void TFormGeneralDataAppend::FormCreate()
{
    const QVariantMap row = ProfileData::additional(DataER->userID);
    auto value = [&row](const char *column) { return row.value(QString::fromLatin1(column)); };
    ProfileData::readLookups();
    DBComboArea->selectKey(value("areasID").toInt());
    const QString areaName = DBComboArea->currentIndex() >= 0 ? DBComboArea->currentText() : DBComboArea->itemText(0);
    CheckBox1->setChecked(areaName == value("cityReg").toString());
    const QList<QPair<QLineEdit *, const char *>> fields{
        {Editcyti, "cyti"},           {Editstreet, "street"},       {Edithome, "home"},
        {Editoffice, "office"},       {EditareasReg, "areasReg"},   {EditcityReg, "cityReg"},
        {EditStreetReg, "streetReg"}, {EdithomeReg, "homeReg"},     {EditofficeReg, "officeReg"},
        {EditnameOfBank, "nameOfBank"}, {EditrecipientsAccount, "recipientsAccount"}, {EditKORscore, "KORscore"},
        {EditBIK, "BIK"},             {EditKPP, "KPP"},             {EditINNbank, "INNbank"},
        {Editsnils, "snils"},         {Editinn, "inn"},             {Editdocument, "document"},
        {EditseriesDoc, "seriesDoc"}, {EditnumberDoc, "numberDoc"}, {EditIssuedByWhomDoc, "IssuedByWhomDoc"},
        {EditplaceOfWork, "placeOfWork"}, {EditpostOfWork, "postOfWork"}};
    for (const auto &[edit, column] : fields)
        setStoredText(edit, value(column).toString());
    const QDate issued = value("dateOfIssueDoc").toDate();
    DateTimePicker1->setDate(issued.isValid() ? issued : QDate::currentDate());
    ComboBoxacademicDegree->selectKey(value("academicDegreeID").toInt());
}

void TFormGeneralDataAppend::showEvent(QShowEvent *event)
{
    TChildForm::showEvent(event);
    Editcyti->setFocus();
}

void TFormGeneralDataAppend::CheckBox1Click()
{
    const bool on = CheckBox1->isChecked();
    setStoredText(EditareasReg, on && DBComboArea->currentIndex() >= 0 ? DBComboArea->currentText() : QString());
    setStoredText(EditcityReg, on ? Editcyti->text() : QString());
    setStoredText(EditStreetReg, on ? Editstreet->text() : QString());
    setStoredText(EdithomeReg, on ? Edithome->text() : QString());
    setStoredText(EditofficeReg, on ? Editoffice->text() : QString());
}

void TFormGeneralDataAppend::save(ProfileData::Part part, const QList<Field> &fields, const QString &failure)
{
    // every text must fit its column before anything is written
    ProfileData::Values values;
    for (const Field &f : fields) {
        const QString column = QString::fromLatin1(f.column);
        if (f.value.metaType().id() == QMetaType::QString
            && !storableIn(f.box, QStringLiteral("zet_users5add"), column, f.value.toString()))
            return;
        values.append({column, f.value});
    }
    try {
        ProfileData::saveAdditional(DataER->userID, part, values);
    } catch (const std::exception &e) {
        Platform::get().error(withReason(failure, e), QString::fromUtf8(e.what()));
        return;
    }
    Platform::get().information(QStringLiteral("Изменения сохранены"));
}

void TFormGeneralDataAppend::BitBtn2Click()
{
    save(ProfileData::Part::Address,
         {{"areasID", DBComboArea, DBComboArea->keyValue()}, {"cyti", Editcyti, Editcyti->text()},
          {"street", Editstreet, Editstreet->text()}, {"home", Edithome, Edithome->text()},
          {"office", Editoffice, Editoffice->text()}, {"areasReg", EditareasReg, EditareasReg->text()},
          {"cityReg", EditcityReg, EditcityReg->text()}, {"streetReg", EditStreetReg, EditStreetReg->text()},
          {"homeReg", EdithomeReg, EdithomeReg->text()}, {"officeReg", EditofficeReg, EditofficeReg->text()}},
         QStringLiteral("При сохранении адресов возникла ошибка"));
}

void TFormGeneralDataAppend::BitBtn3Click()
{
    save(ProfileData::Part::Bank,
         {{"recipientsAccount", EditrecipientsAccount, EditrecipientsAccount->text()},
          {"nameOfBank", EditnameOfBank, EditnameOfBank->text()}, {"KORscore", EditKORscore, EditKORscore->text()},
          {"BIK", EditBIK, EditBIK->text()}, {"KPP", EditKPP, EditKPP->text()}, {"INNbank", EditINNbank, EditINNbank->text()}},
         QStringLiteral("При сохранении реквизитов банка возникла ошибка"));
}

void TFormGeneralDataAppend::BitBtn4Click()
{
    save(ProfileData::Part::Passport,
         {{"snils", Editsnils, Editsnils->text()}, {"inn", Editinn, Editinn->text()},
          {"document", Editdocument, Editdocument->text()}, {"seriesDoc", EditseriesDoc, EditseriesDoc->text()},
          {"numberDoc", EditnumberDoc, EditnumberDoc->text()}, {"dateOfIssueDoc", DateTimePicker1, DateTimePicker1->date()},
          {"IssuedByWhomDoc", EditIssuedByWhomDoc, EditIssuedByWhomDoc->text()}},
         QStringLiteral("При сохранении паспортных данных возникла ошибка"));
}

void TFormGeneralDataAppend::BitBtn5Click()
{
    save(ProfileData::Part::Work,
         {{"placeOfWork", EditplaceOfWork, EditplaceOfWork->text()}, {"postOfWork", EditpostOfWork, EditpostOfWork->text()},
          {"academicDegreeID", ComboBoxacademicDegree, ComboBoxacademicDegree->keyValue()}},
         QStringLiteral("При сохранении места работы возникла ошибка"));
}

#include "appeals/UnitAppealAsnswer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/FileServer.h"

TFormAppealAsnswer *FormAppealAsnswer = nullptr;

namespace {
const QString kShaded = QStringLiteral("background-color: rgb(238, 245, 255);");
}

TFormAppealAsnswer::TFormAppealAsnswer(QWidget *parent)
    : TChildForm(QStringLiteral("Формирование ответа на апелляцию заявителю в электронном виде"), parent)
{
    resize(635, 477);
    auto *layout = new QVBoxLayout(this);
    DBLookupComboBox1 = addLookup(this, layout, QStringLiteral("Общеобразовательное мероприятие:"), "DBLookupComboBox1",
                                  QStringLiteral("Выбор общеобразовательного мероприятия"));
    DBLookupComboBox2 = addLookup(this, layout, QStringLiteral("Заявитель:"), "DBLookupComboBox2",
                                  QStringLiteral("Выбор заявителя (апелляции)"));
    NamedQuery *disciplines = DataER->query(QStringLiteral("EDUdiplom"));
    NamedQuery *applicants = DataER->query(QStringLiteral("GETappealAnswerList"));
    DBLookupComboBox1->bind(disciplines, QStringLiteral("nameEdu"), QStringLiteral("id"));
    DBLookupComboBox2->bind(applicants, QStringLiteral("fio"), QStringLiteral("usersID"));
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label3);
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setAccessibleName(QStringLiteral("Претензии и ответы"));
    ScrollBox1->setWidgetResizable(true);
    auto *area = new QWidget(ScrollBox1);
    m_claims = new QVBoxLayout(area);
    m_claims->addStretch();
    ScrollBox1->setWidget(area);
    layout->addWidget(ScrollBox1, 1);

    auto *bottom = new QHBoxLayout;
    auto *close = hintedButton(this, QStringLiteral("&Закрыть"), "BitBtn1", QStringLiteral("Закрыть окно формирования ответа заявителю"));
    connect(close, &QPushButton::clicked, this, &TChildForm::closeWindow);
    BitBtn3 = hintedButton(this, QStringLiteral("Выгрузить"), "BitBtn3", QStringLiteral("Выгрузить и отобразить файл на локальном компьютере"));
    BitBtn2 = hintedButton(this, QStringLiteral("Сохранить"), "BitBtn2", QStringLiteral("Сохранить ответ на претензию по вопросу"));
    bottom->addWidget(close);
    bottom->addStretch();
    bottom->addWidget(BitBtn3);
    bottom->addStretch();
    bottom->addWidget(BitBtn2);
    layout->addLayout(bottom);
    connect(BitBtn2, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn2Click(); }); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn3Click(); }); });

    const auto disciplineChosen = [this] { runCommand([this] { readUser(); infoAppeal(); createAnswer(); }); };
    const auto applicantChosen = [this] { runCommand([this] { infoAppeal(); createAnswer(); }); };
    connect(DBLookupComboBox1, &TLookupCombo::chosen, this, disciplineChosen);
    connect(DBLookupComboBox2, &TLookupCombo::chosen, this, applicantChosen);

    ownQueries({applicants, disciplines});
    // FormCreate
    openForSession(disciplines);
    readUser();
    infoAppeal();
}

void TFormAppealAsnswer::showEvent(QShowEvent *event)
{
    TChildForm::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        runCommand([this] { createAnswer(); });
    }
}

void TFormAppealAsnswer::readUser()
{
    NamedQuery *q = DataER->query(QStringLiteral("GETappealAnswerList"));
    q->close();
    q->setParam(QStringLiteral("eduID"), DBLookupComboBox1->keyValue());
    q->setParam(QStringLiteral("expID"), DataER->userID);
    q->open();
}

void TFormAppealAsnswer::infoAppeal()
{
    const int form = DBLookupComboBox2->rowValue(QStringLiteral("fileOrDoc")).toInt();
    Label3->setText(form == 0   ? QStringLiteral("Апелляция подана в электронном виде")
                    : form == 1 ? QStringLiteral("Апелляция представлена отдельным файлом")
                                : QString());
}

void TFormAppealAsnswer::removeComponent()
{
    const QList<QWidget *> controls =
        ScrollBox1->widget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *w : controls)
        delete w;
}

void TFormAppealAsnswer::createAnswer()
{
    removeComponent();
    NamedQuery *q = DataER->query(QStringLiteral("appealExpertGet"));
    q->close();
    q->setParam(QStringLiteral("eduID"), DBLookupComboBox1->keyValue());
    q->setParam(QStringLiteral("userID"), DBLookupComboBox2->keyValue());
    q->open();
    if (q->recordCount() == 0) {
        BitBtn2->setEnabled(false);
        q->close();
        return;
    }
    BitBtn2->setEnabled(true);
    const bool typedIn = DBLookupComboBox2->rowValue(QStringLiteral("fileOrDoc")).toInt() == 0;
    BitBtn3->setEnabled(!typedIn);
    QWidget *area = ScrollBox1->widget();
    // Rows come by descending task and each control goes on top: on screen by ascending task.
    auto onTop = [this](QWidget *w, const QString &name) {
        w->setObjectName(name);
        m_claims->insertWidget(0, w);
        w->show();
    };
    int n = 0;
    for (q->first(); !q->eof(); q->next()) {
        ++n;
        const QString id = q->field(QStringLiteral("id")).toString();
        const bool shaded = n % 2 == 0;
        auto *answer = new TMemo(500, area);
        answer->setAccessibleName(QStringLiteral("Ответ на претензию: ") + q->field(QStringLiteral("titletask")).toString());
        answer->setFixedHeight(100);
        answer->setTabChangesFocus(true);   // Tab goes on, as in the score sheet; no tab is stored
        answer->setPlainText(q->field(QStringLiteral("answerСlaim")).toString());
        setHint(answer, QStringLiteral("Разместите в этом поле ответ заявителю на претензию"));
        if (shaded)
            answer->setStyleSheet(kShaded);
        onTop(answer, QStringLiteral("answer_") + id);
        if (!typedIn)
            continue;
        auto *claim = plainLabel(QStringLiteral("Претензия: ") + q->field(QStringLiteral("claim")).toString(), area);
        claim->setWordWrap(true);
        claim->setAlignment(Qt::AlignLeft);
        claim->setStyleSheet(QStringLiteral("color: black;") + (shaded ? kShaded : QString()));
        onTop(claim, QStringLiteral("appeal_") + id);
        auto *task = plainLabel(QStringLiteral("ЗАДАНИЕ: ") + q->field(QStringLiteral("titletask")).toString(), area);
        task->setWordWrap(true);
        task->setAlignment(Qt::AlignCenter);
        task->setStyleSheet(QStringLiteral("color: palette(link);"));
        onTop(task, QStringLiteral("zad_") + id);
    }
    q->close();
}

void TFormAppealAsnswer::BitBtn2Click()
{
    QList<QPair<int, QString>> answers;
    for (TMemo *box : ScrollBox1->widget()->findChildren<TMemo *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!storableIn(box, QStringLiteral("zet_appeal"), QStringLiteral("answerСlaim"), box->toPlainText()))
            return;   // nothing written yet
        answers.append({box->objectName().section(QLatin1Char('_'), 1).toInt(), box->toPlainText()});
    }
    saveAppealAnswers(answers);
    Platform::get().information(QStringLiteral("Сохранение завершено"));
}

void TFormAppealAsnswer::BitBtn3Click()
{
    const int active = activePeriod();
    const QString period = active > 0 ? QString::number(active) : QString();
    const QString file = QString::number(DBLookupComboBox2->keyValue()) + QLatin1Char('_') + period + QLatin1Char('_')
        + QString::number(DBLookupComboBox1->keyValue()) + QStringLiteral(".docx");
    Platform::get().openUrl(documentAddress(QStringLiteral("appeal"), file));
}

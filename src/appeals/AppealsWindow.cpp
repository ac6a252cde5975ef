#include "appeals/AppealsWindow.h"
#include "data/ScoreSheet.h"

#include <QHBoxLayout>
#include <QShortcut>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

#include "widgets/ScanPane.h"

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/AppealsData.h"
#include "data/DataOperations.h"
#include "data/FileNames.h"
#include "widgets/Fields.h"

AppealsWindow *appealsWindow = nullptr;

namespace {
// every other claim shaded, in the palette's own alternate colour (light or dark alike)
const QString kShaded = QStringLiteral("background-color: palette(alternate-base);");
}

AppealsWindow::AppealsWindow(QWidget *parent)
    : TChildForm(QStringLiteral("Формирование ответа на апелляцию заявителю в электронном виде"), parent)
{
    resize(1180, 620);
    setWorkWindow();   // a scan is read here: large screens give it their room
    auto *outer = new QVBoxLayout(this);
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter"));
    splitter->setChildrenCollapsible(false);
    outer->addWidget(splitter, 1);
    splitter->addWidget(buildClaims(splitter));
    splitter->addWidget(buildWork(splitter));
    splitter->setSizes({560, 620});
    outer->addLayout(buildBottom());
    bind();
    // load
    AppealsData::readDisciplines(DataER->userID);
    readApplicants();
    showAppealForm();
}

// The discipline and applicant lists, the appeal's form and the claims with their answers.
QWidget *AppealsWindow::buildClaims(QWidget *parent)
{
    auto *left = new QWidget(parent);
    auto *layout = new QVBoxLayout(left);
    layout->setContentsMargins(0, 0, 0, 0);
    disciplineList = addLookup(this, layout, QStringLiteral("Общеобразовательное мероприятие:"), "DBLookupComboBox1",
                                  QStringLiteral("Выбор общеобразовательного мероприятия"));
    applicantList = addLookup(this, layout, QStringLiteral("Заявитель:"), "DBLookupComboBox2",
                                  QStringLiteral("Выбор заявителя (апелляции)"));
    formLabel = new QLabel(this);
    formLabel->setObjectName(QStringLiteral("Label3"));
    formLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(formLabel);
    claimsArea = new QScrollArea(this);
    claimsArea->setObjectName(QStringLiteral("ScrollBox1"));
    claimsArea->setAccessibleName(QStringLiteral("Претензии и ответы"));
    claimsArea->setWidgetResizable(true);
    auto *area = new QWidget(claimsArea);
    m_claims = new QVBoxLayout(area);
    m_claims->addStretch();
    claimsArea->setWidget(area);
    layout->addWidget(claimsArea, 1);

    return left;
}

// The work the claims are about: its scan (the scoring window's pane, sources and cache) and the
// scores and comments each task was given.
QWidget *AppealsWindow::buildWork(QWidget *parent)
{
    auto *right = new QWidget(parent);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    workLabel = plainLabel(QString(), right);
    workLabel->setObjectName(QStringLiteral("LabelWork"));
    workLabel->setWordWrap(true);
    QFont bold = workLabel->font();
    bold.setBold(true);
    workLabel->setFont(bold);
    rightLayout->addWidget(workLabel);
    auto *work = new QSplitter(Qt::Vertical, right);
    Scan = new ScanPane(work);
    work->addWidget(Scan);
    auto *scores = new QScrollArea(work);
    scores->setObjectName(QStringLiteral("ScrollScores"));
    scores->setAccessibleName(QStringLiteral("Оценки работы по заданиям"));
    scores->setWidgetResizable(true);
    scoresLabel = plainLabel(QString(), scores);
    scoresLabel->setObjectName(QStringLiteral("LabelScores"));
    scoresLabel->setWordWrap(true);
    scoresLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    scoresLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    scores->setWidget(scoresLabel);
    work->addWidget(scores);
    work->setSizes({420, 160});
    rightLayout->addWidget(work, 1);
    return right;
}

QHBoxLayout *AppealsWindow::buildBottom()
{
    auto *bottom = new QHBoxLayout;
    auto *close = hintedButton(this, QStringLiteral("&Закрыть"), "BitBtn1", QStringLiteral("Закрыть окно формирования ответа заявителю"));
    connect(close, &QPushButton::clicked, this, &TChildForm::closeWindow);
    documentButton = hintedButton(this, QStringLiteral("Выгрузить"), "BitBtn3", QStringLiteral("Выгрузить и отобразить файл на локальном компьютере"));
    saveButton = hintedButton(this, QStringLiteral("&Сохранить"), "BitBtn2", QStringLiteral("Сохранить ответ на претензию по вопросу (Ctrl+S)"));
    bottom->addWidget(close);
    bottom->addStretch();
    bottom->addWidget(documentButton);
    bottom->addStretch();
    bottom->addWidget(saveButton);
    connect(saveButton, &QPushButton::clicked, this, [this] { runCommand([this] { save(); }); });
    // Ctrl+S anywhere in the window, as in the scoring window
    auto *saveKey = new QShortcut(QKeySequence::Save, this);
    saveKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(saveKey, &QShortcut::activated, this, [this] {
        if (saveButton->isEnabled())
            runCommand([this] { save(); });
    });
    connect(documentButton, &QPushButton::clicked, this, [this] { runCommand([this] { openDocument(); }); });
    return bottom;
}

void AppealsWindow::bind()
{
    NamedQuery *disciplines = AppealsData::disciplines();
    NamedQuery *applicants = AppealsData::applicants();
    disciplineList->bind(disciplines, QStringLiteral("nameEdu"), QStringLiteral("id"));
    applicantList->bind(applicants, QStringLiteral("fio"), QStringLiteral("usersID"));
    const auto disciplineChosen = [this] { runCommand([this] { readApplicants(); showAppealForm(); buildAnswers(); }); };
    const auto applicantChosen = [this] { runCommand([this] { showAppealForm(); buildAnswers(); }); };
    connect(disciplineList, &TLookupCombo::chosen, this, disciplineChosen);
    connect(applicantList, &TLookupCombo::chosen, this, applicantChosen);

    ownQueries({applicants, disciplines});
}

void AppealsWindow::showEvent(QShowEvent *event)
{
    TChildForm::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        runCommand([this] { buildAnswers(); });
    }
}

void AppealsWindow::readApplicants()
{
    AppealsData::readApplicants(disciplineList->keyValue(), DataER->userID);
}

void AppealsWindow::showAppealForm()
{
    const int form = applicantList->rowValue(QStringLiteral("fileOrDoc")).toInt();
    formLabel->setText(form == 0   ? QStringLiteral("Апелляция подана в электронном виде")
                    : form == 1 ? QStringLiteral("Апелляция представлена отдельным файлом")
                                : QString());
}

void AppealsWindow::clearAnswers()
{
    const QList<QWidget *> controls =
        claimsArea->widget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *w : controls)
        delete w;
    m_answers.clear();
}

// The applicant's work in this discipline and period: its scan, and per task the score of the
// maximum and the comment it was given. Nothing of it stops the answering.
void AppealsWindow::showWork()
{
    scoresLabel->clear();
    const int applicant = applicantList->keyValue();
    const int discipline = disciplineList->keyValue();
    const std::optional<AppealsData::Work> work = applicant > 0 ? AppealsData::work(applicant, discipline) : std::nullopt;
    if (!work) {
        Scan->clear();
        workLabel->setText(applicant > 0 ? QStringLiteral("Работа заявителя в этом мероприятии не найдена") : QString());
        return;
    }
    workLabel->setText(QStringLiteral("Работа: ") + work->prefix + QStringLiteral(", код работы ") + QString::number(applicant));
    Scan->showWork(work->scan);
    QStringList lines;
    for (const AppealsData::ExpertResults &e : AppealsData::results(work->scan.work, discipline)) {
        if (!lines.isEmpty())
            lines << QString();
        if (e.expert > 0)
            lines << QStringLiteral("Эксперт: ") + e.name;
        for (const AppealsData::TaskResult &r : e.tasks) {
            QString line = r.title + QStringLiteral(": ");
            if (!r.score) {
                line += QStringLiteral("не оценено");
            } else {
                line += QStringLiteral("%1 из %2").arg(*r.score).arg(ScoreSheet::maxOf({r.task, r.max, {}}));
                if (!r.comment.isEmpty())
                    line += QStringLiteral("\n    ") + r.comment;
            }
            lines << line;
        }
        if (e.scored)
            lines << QStringLiteral("Итого: %1 из %2").arg(e.total).arg(e.maximum);
    }
    scoresLabel->setText(lines.join(QLatin1Char('\n')));
}

void AppealsWindow::buildAnswers()
{
    showWork();
    clearAnswers();
    const QList<AppealsData::Claim> claims = AppealsData::claims(applicantList->keyValue(), disciplineList->keyValue(),
                                                                 DataER->userID);
    m_claimsExpert = DataER->userID;
    if (claims.isEmpty()) {
        saveButton->setEnabled(false);
        return;
    }
    saveButton->setEnabled(true);
    const bool typedIn = applicantList->rowValue(QStringLiteral("fileOrDoc")).toInt() == 0;
    documentButton->setEnabled(!typedIn);
    QWidget *area = claimsArea->widget();
    // Rows come by descending task and each control goes on top: on screen by ascending task.
    auto onTop = [this](QWidget *w, const QString &name) {
        w->setObjectName(name);
        m_claims->insertWidget(0, w);
        w->show();
    };
    int n = 0;
    for (const AppealsData::Claim &c : claims) {
        ++n;
        const QString id = QString::number(c.id);
        const bool shaded = n % 2 == 0;
        auto *answer = new TMemo(500, area);
        answer->setAccessibleName(QStringLiteral("Ответ на претензию: ") + c.task);
        answer->setFixedHeight(100);
        answer->setTabChangesFocus(true);   // Tab goes on, as in the score sheet; no tab is stored
        answer->setStoredText(c.answer);   // whole, however long another system wrote it
        setHint(answer, QStringLiteral("Разместите в этом поле ответ заявителю на претензию"));
        if (shaded)
            answer->setStyleSheet(kShaded);
        onTop(answer, QStringLiteral("answer_") + id);
        m_answers.append({c.id, answer});
        if (!typedIn)
            continue;
        auto *claim = plainLabel(QStringLiteral("Претензия: ") + c.claim, area);
        claim->setWordWrap(true);
        claim->setAlignment(Qt::AlignLeft);
        claim->setStyleSheet(shaded ? kShaded : QString());
        onTop(claim, QStringLiteral("appeal_") + id);
        auto *task = plainLabel(QStringLiteral("ЗАДАНИЕ: ") + c.task, area);
        task->setWordWrap(true);
        task->setAlignment(Qt::AlignCenter);
        task->setStyleSheet(QStringLiteral("color: palette(link);"));
        onTop(task, QStringLiteral("zad_") + id);
    }
    // Tab goes claim by claim as shown (the first on top first), then to "Сохранить"
    QWidget *previous = applicantList;
    for (auto it = m_answers.crbegin(); it != m_answers.crend(); ++it) {
        QWidget::setTabOrder(previous, it->second);
        previous = it->second;
    }
    QWidget::setTabOrder(previous, saveButton);
}

void AppealsWindow::save()
{
    QList<QPair<int, QString>> answers;
    for (const auto &[claim, box] : std::as_const(m_answers)) {
        if (!storableIn(box, QStringLiteral("zet_appeal"), QStringLiteral("answerСlaim"), box->toPlainText()))
            return;   // nothing written yet
        answers.append({claim, box->toPlainText()});
    }
    // the answers are the expert's who was shown the claims: after another login they are not
    if (DataER->userID <= 0 || DataER->userID != m_claimsExpert) {
        Platform::get().information(QStringLiteral("Претензии открыты другим пользователем. Откройте окно заново."));
        return;
    }
    saveAppealAnswers(m_claimsExpert, answers);
    Platform::get().information(QStringLiteral("Сохранение завершено"));
}

void AppealsWindow::openDocument()
{
    const int active = activePeriod();
    const QString period = active > 0 ? QString::number(active) : QString();
    const QString file = QString::number(applicantList->keyValue()) + QLatin1Char('_') + period + QLatin1Char('_')
        + QString::number(disciplineList->keyValue()) + QStringLiteral(".docx");
    Platform::get().openUrl(documentAddress(QStringLiteral("appeal"), file));
}

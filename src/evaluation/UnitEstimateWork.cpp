#include "evaluation/UnitEstimateWork.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QStringListModel>
#include <QAbstractItemView>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QValidator>
#include <QTimer>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/CheckedCopies.h"
#include "data/DraftStore.h"
#include "data/EventLog.h"
#include "data/ScoringData.h"
#include "data/VardexError.h"
#include "widgets/ScanPane.h"
#include "widgets/Fields.h"

namespace {

constexpr int kCommentLength = 500;   // what a task's comment box takes

// A score as typed: empty (on the way to one) or a whole number from 0 to the maximum in plain
// digits. Anything else is refused at the key (QIntValidator would let "99" stand for a maximum
// of 10, as a step towards a smaller number).
class ScoreValidator : public QValidator {
public:
    ScoreValidator(int maximum, QObject *parent) : QValidator(parent), m_maximum(maximum) {}
    State validate(QString &input, int &) const override
    {
        if (input.isEmpty())
            return Intermediate;
        if (input.size() > 4 || !std::all_of(input.begin(), input.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            return Invalid;
        return input.toInt() <= m_maximum ? Acceptable : Invalid;
    }

private:
    int m_maximum;
};

// What the sheet says of a task whose stored maximum is damaged: it cannot be scored.
QString maximumRefused(int max)
{
    return QStringLiteral("максимальный балл %1 недопустим (больше %2): задание нельзя оценить, сообщите администратору")
        .arg(max)
        .arg(ScoreSheet::kMaxTaskMaximum);
}

} // namespace

TFormEstimateWork *FormEstimateWork = nullptr;

TFormEstimateWork::TFormEstimateWork(QWidget *parent)
    : TChildForm(QStringLiteral("Оценивание работ участников общеобразовательных мероприятий"), parent)
{
    resize(1180, 620);
    setWorkWindow();   // a scan is read here: large screens give it their room
    auto *layout = new QVBoxLayout(this);
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    Splitter = splitter;
    splitter->setObjectName(QStringLiteral("Splitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildList(splitter));
    Scan = new ScanPane(splitter);
    Scan->setMinimumWidth(200);
    Scan->setMarking(true);   // the expert may check the work on screen
    splitter->addWidget(Scan);
    splitter->addWidget(buildSheet(splitter));
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 1);
    // the expert's own arrangement of the three panes comes back
    if (!splitter->restoreState(QSettings().value(QStringLiteral("estimate/panes")).toByteArray()))
        splitter->setSizes({260, 380, 340});
    layout->addWidget(splitter, 1);
    layout->addLayout(buildBottom());

    bindKeys();
    bindDrafts();
    bindComments();
    setSheet(0);
    readData();
}

// The list of works to score, with the progress line above it.
QWidget *TFormEstimateWork::buildList(QWidget *parent)
{
    auto *left = new QWidget(parent);
    left->setMinimumWidth(200);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    LabelProgress = plainLabel(QString(), left);
    LabelProgress->setObjectName(QStringLiteral("LabelProgress"));
    QFont progressFont = LabelProgress->font();
    progressFont.setBold(true);
    LabelProgress->setFont(progressFont);
    LabelProgress->setWordWrap(true);
    leftLayout->addWidget(LabelProgress);
    DBGrid1 = new TDBGrid(left);
    leftLayout->addWidget(captionFor(DBGrid1, QStringLiteral("Список непроверенных работ:"), left));
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    NamedQuery *list = ScoringData::workList();
    DBGrid1->bind(list, {{QStringLiteral("PrefixEncrypt"), QStringLiteral("Префикс")},
                         {QStringLiteral("classStudy"), QStringLiteral("Класс"), Qt::AlignCenter},
                         {QStringLiteral("user_id"), QStringLiteral("Код работы")}});
    DBGrid1->setTabKeyNavigation(false);   // Tab leaves the list for the sheet
    // The sheet follows the list's current row, however it moved: mouse, arrow keys, Enter.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { runCommand([this] { DBGrid1CellClick(); }); });
    connect(DBGrid1, &QTableView::clicked, this, [this] { runCommand([this] { DBGrid1CellClick(); }); });
    connect(DBGrid1, &QTableView::activated, this, [this] { runCommand([this] { DBGrid1CellClick(); }); });
    bindTitleClickSort(DBGrid1, [list] { return list; });
    leftLayout->addWidget(DBGrid1, 1);

    return left;
}

// The score sheet: the work's header, the draft notice, the tasks, the total and the save button.
QWidget *TFormEstimateWork::buildSheet(QWidget *parent)
{
    auto *right = new QWidget(parent);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    sheetArea = new QScrollArea(right);
    rightLayout->addWidget(captionFor(sheetArea, QStringLiteral("Оценочный лист:"), right));
    LabelWork = plainLabel(QString(), right);
    LabelWork->setObjectName(QStringLiteral("LabelWork"));
    QFont bold = LabelWork->font();
    bold.setBold(true);
    LabelWork->setFont(bold);
    LabelWork->setWordWrap(true);   // a narrow pane wraps the header, never cuts the work's code
    rightLayout->addWidget(LabelWork);
    LabelDraft = plainLabel(QString(), right);
    LabelDraft->setObjectName(QStringLiteral("LabelDraft"));
    LabelDraft->setWordWrap(true);
    LabelDraft->hide();
    rightLayout->addWidget(LabelDraft);
    sheetArea->setObjectName(QStringLiteral("ScrollBox1"));
    sheetArea->setWidgetResizable(true);
    auto *sheet = new QWidget(sheetArea);
    m_sheet = new QVBoxLayout(sheet);
    m_sheet->addStretch();   // the sheet stacks from the top
    sheetArea->setWidget(sheet);
    rightLayout->addWidget(sheetArea, 1);
    LabelTotal = plainLabel(QString(), right);
    LabelTotal->setObjectName(QStringLiteral("LabelTotal"));
    LabelTotal->setFont(bold);
    rightLayout->addWidget(LabelTotal);
    LabelCopies = plainLabel(QString(), right);
    LabelCopies->setObjectName(QStringLiteral("LabelCopies"));
    LabelCopies->setWordWrap(true);
    LabelCopies->hide();
    rightLayout->addWidget(LabelCopies);
    auto *saveRow = new QHBoxLayout;
    BitBtn1 = hintedButton(right, QStringLiteral("Сохранить"), "BitBtn1", QStringLiteral("Сохранить в БД результаты экспертного оценивания"));
    connect(BitBtn1, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn1Click(); }); });
    saveRow->addWidget(BitBtn1);
    auto *warning = new QLabel(
        QStringLiteral("Будьте предельно внимательны! Сохранив результаты проверки, Вы уже не сможете их изменить."), right);
    QFont wf = warning->font();
    wf.setPixelSize(13);
    wf.setBold(true);
    warning->setFont(wf);
    warning->setStyleSheet(QStringLiteral("color: palette(link);"));   // blue on light, light on dark palettes
    warning->setAlignment(Qt::AlignCenter);
    warning->setWordWrap(true);
    saveRow->addWidget(warning, 1);
    rightLayout->addLayout(saveRow);
    right->setMinimumWidth(260);
    return right;
}

QHBoxLayout *TFormEstimateWork::buildBottom()
{
    auto *bottom = new QHBoxLayout;
    auto *close = new QPushButton(QStringLiteral("&Закрыть"), this);
    close->setObjectName(QStringLiteral("BitBtn2"));
    close->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(close, &QPushButton::clicked, this, &TChildForm::closeWindow);
    bottom->addWidget(close, 0, Qt::AlignLeft);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setFixedHeight(10);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    bottom->addWidget(ProgressBar1, 1);
    return bottom;
}

// The keys of the grader's bench, anywhere in the window.
void TFormEstimateWork::bindKeys()
{
    const auto key = [this](const QKeySequence &sequence, const std::function<void()> &action) {
        auto *shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [action] { runCommand(action); });
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_Down), [this] { openWork(1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Up), [this] { openWork(-1); });
    for (int k = 1; k <= 9; ++k)
        key(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + k)), [this, k] { focusTask(k); });
    key(QKeySequence::Save, [this] {
        if (BitBtn1->isEnabled())
            BitBtn1Click();
    });
    key(QKeySequence::HelpContents, [] { Platform::get().information(keyList()); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { Scan->view()->zoomIn(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { Scan->view()->zoomIn(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { Scan->view()->zoomOut(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { Scan->view()->fitWidth(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_R), [this] { Scan->view()->rotate(); });
    setHint(this, QStringLiteral("F1 — клавиши"));   // the whole list would be cut in the status bar
}

// Drafts: written at most once a second while typing, and when the focus leaves a box.
void TFormEstimateWork::bindDrafts()
{
    m_period = activePeriod();
    m_drafts = std::make_unique<DraftStore>();
    if (!m_drafts->isOpen())
        EventLog::write(windowTitle(), QStringLiteral("Черновики недоступны: ") + m_drafts->openFailure());
    if (m_period > 0)
        m_drafts->dropOtherPeriods(m_period);
    m_draftWorks = m_drafts->works(DataER->userID, m_period);
    DBGrid1->setRowMark([this](int row) { return m_draftWorks.contains(DBGrid1->query()->value(row, QStringLiteral("id")).toInt()); },
                        QStringLiteral("Есть несохранённый черновик оценочного листа"));
    connect(Scan->view(), &ScanView::marksChanged, this, [this] { sheetEdited(); });
    m_draftTimer = new QTimer(this);
    m_draftTimer->setSingleShot(true);
    m_draftTimer->setInterval(1000);
    connect(m_draftTimer, &QTimer::timeout, this, &TFormEstimateWork::writeDraft);
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *) {
        if (m_dirty && old && sheetArea->widget()->isAncestorOf(old))
            writeDraft();
    });
}

// The list of earlier comments, shared by the sheet's comment boxes, and the reading ahead of
// the next work.
void TFormEstimateWork::bindComments()
{
    m_commentList = new QCompleter(this);
    m_commentList->setObjectName(QStringLiteral("CommentList"));
    m_commentList->setModel(new QStringListModel(m_commentList));
    m_commentList->setCaseSensitivity(Qt::CaseInsensitive);
    m_commentList->setFilterMode(Qt::MatchContains);
    m_commentList->setModelSorting(QCompleter::UnsortedModel);   // most used first, as read
    m_commentList->setMaxVisibleItems(8);
    connect(m_commentList, qOverload<const QString &>(&QCompleter::activated), this, [this](const QString &text) {
        if (auto *memo = qobject_cast<TMemo *>(m_commentList->widget())) {
            memo->setPlainText(text);
            memo->moveCursor(QTextCursor::End);
        }
    });

    // checked copies: how many wait, and why the last one could not be made or sent
    CheckedCopies &copies = CheckedCopies::get();
    connect(&copies, &CheckedCopies::changed, this, [this] { showCopies(); });
    connect(&copies, &CheckedCopies::sendFailed, this, [this](const QString &reason) {
        m_sendFailure = QStringLiteral("Последняя попытка отправки не удалась: ") + reason;
        showCopies();
    });
    connect(&copies, &CheckedCopies::sent, this, [this] {
        m_sendFailure.clear();   // the last try went through: the failure before it is over
        showCopies();
    });
    copies.sendPending(DataER->net());
    showCopies();

    m_prefetchTimer = new QTimer(this);
    m_prefetchTimer->setSingleShot(true);
    m_prefetchTimer->setInterval(300);
    connect(m_prefetchTimer, &QTimer::timeout, this, [this] { prefetchNext(); });
}

TFormEstimateWork::~TFormEstimateWork()
{
    // the sheet's boxes lose the focus as they go: by then the window is no longer whole
    disconnect(m_focusWatch);
    if (m_dirty)
        writeDraft();
}

QString TFormEstimateWork::keyList()
{
    return QStringLiteral("Клавиши: ↑ ↓ и Enter в списке — открыть работу; Ctrl+↓ / Ctrl+↑ — следующая / предыдущая "
                          "работа; Alt+1…Alt+9 — оценка задания с этим номером; Ctrl+Пробел в комментарии — прежние комментарии; цифры — оценка; Tab / Shift+Tab — оценка, комментарий, следующая оценка; "
                          "Ctrl+S — сохранить; PageUp / PageDown — листать скан; Ctrl+плюс / Ctrl+минус / Ctrl+0 — "
                          "масштаб скана; Ctrl+R — повернуть скан; на скане: 1 — галочка, 2 — крестик, 3 — заметка, 4 — линия, "
                          "Esc — указатель, Ctrl+Z / Ctrl+Shift+Z — отменить / вернуть пометку, Delete — убрать пометку; "
                          "F1 — этот список");
}

void TFormEstimateWork::setSheet(int workId)
{
    m_workId = workId;
    m_sheetExpert = workId > 0 ? DataER->userID : -1;
    BitBtn1->setEnabled(workId > 0);
    if (workId <= 0) {
        LabelWork->clear();
        LabelDraft->hide();
        LabelTotal->clear();   // the total goes with its sheet
    }
}

void TFormEstimateWork::readData()
{
    ScoringData::readWorkList(DataER->userID);
    updateProgress();
}

void TFormEstimateWork::updateProgress()
{
    const auto text = [](ScoringData::Progress p) { return QStringLiteral("%1 из %2").arg(p.scored).arg(p.assigned); };
    QString line = QStringLiteral("Оценено ") + text(ScoringData::expertProgress(DataER->userID));
    if (m_workId > 0)
        line += QStringLiteral("\n") + m_prefix + QStringLiteral(": оценено ")
            + text(ScoringData::disciplineProgress(DataER->userID, m_workId));
    LabelProgress->setText(line);
}

void TFormEstimateWork::openWork(int step)
{
    NamedQuery *list = DBGrid1->query();
    if (list->recordCount() == 0)
        return;
    const QModelIndex current = DBGrid1->currentIndex();
    // with no sheet open yet, the row the list stands on is the one to open
    int row = current.isValid() ? current.row() + (m_workId > 0 ? step : 0) : (step > 0 ? 0 : list->recordCount() - 1);
    row = std::clamp(row, 0, list->recordCount() - 1);
    DBGrid1->setCurrentIndex(DBGrid1->model()->index(row, 0));   // the sheet follows the row
    DBGrid1CellClick();   // the row may have been current already without its sheet
    focusFirstScore();
}

void TFormEstimateWork::focusFirstScore()
{
    if (m_tasks.isEmpty())
        return;
    // on screen the tasks read by ascending id: the last of the query's order comes first
    focusTask(1);
}

void TFormEstimateWork::focusTask(int ordinal)
{
    if (ordinal < 1 || ordinal > m_tasks.size())
        return;
    const Task &task = m_tasks.at(m_tasks.size() - ordinal);
    QComboBox *box = task.score;
    // the task's score and its comment (below it) in view together, as far as the view holds them
    QWidget *sheet = sheetArea->widget();
    const QRect both = QRect(box->parentWidget()->mapTo(sheet, QPoint()), box->parentWidget()->size())
                           .united(QRect(task.memo->mapTo(sheet, QPoint()), task.memo->size()));
    if (both.height() + 4 <= sheetArea->viewport()->height())
        sheetArea->ensureVisible(both.center().x(), both.center().y(), both.width() / 2 + 2, both.height() / 2 + 2);
    else
        sheetArea->verticalScrollBar()->setValue(both.top());
    box->setFocus(Qt::TabFocusReason);
    box->lineEdit()->selectAll();   // also when the focus arrives later, with the window
}

const TFormEstimateWork::Task *TFormEstimateWork::taskOf(const QWidget *control) const
{
    for (const Task &t : m_tasks)
        if (control == t.score || control == t.memo)
            return &t;
    return nullptr;
}

void TFormEstimateWork::DBGrid1CellClick()
{
    const QModelIndex current = DBGrid1->currentIndex();
    NamedQuery *list = DBGrid1->query();
    if (!current.isValid() || current.row() >= list->recordCount())
        return;   // a re-read list has no current row yet: the sheet stays as it is
    const int row = current.row();
    const int work = list->value(row, QStringLiteral("id")).toInt();
    if (work == m_workId)
        return;   // the sheet of this work is on screen already, as typed
    m_prefix = list->value(row, QStringLiteral("PrefixEncrypt")).toString();
    readEstimate(work);
    QString header = QStringLiteral("Работа: ") + list->value(row, QStringLiteral("PrefixEncrypt")).toString()
        + QStringLiteral(", класс ") + list->value(row, QStringLiteral("classStudy")).toString()
        + QStringLiteral(", код работы ") + list->value(row, QStringLiteral("user_id")).toString();
    LabelWork->setText(header);
    LabelDraft->setText(QStringLiteral("Восстановлен несохранённый черновик от ")
                        + m_draftRestored.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")));
    LabelDraft->setVisible(m_draftRestored.isValid());
    updateProgress();
    showScan(work);
    m_prefetchTimer->start();   // the next one, once the expert stays on this one a moment
}

// The scan never stops the scoring: whatever goes wrong finding it is said in its pane.
void TFormEstimateWork::showScan(int workId)
{
    try {
        Scan->showWork(m_ahead.work == workId ? m_ahead.scan : ScoringData::scanOf(workId));
        if (m_ahead.work == workId)
            m_ahead = {};
    } catch (const std::exception &e) {
        Scan->showWork({workId, {}, {}});
        EventLog::write(windowTitle(), QStringLiteral("Скан работы недоступен: ") + QString::fromUtf8(e.what()));
    }
}

void TFormEstimateWork::removeComponent()
{
    if (m_dirty)
        writeDraft();   // nothing typed goes with the sheet
    m_draftTimer->stop();
    m_draftRestored = QDateTime();
    m_rules = ScoreSheet();
    m_wholeTitles.clear();
    for (const Task &t : std::as_const(m_tasks))
        qDeleteAll(t.widgets);
    m_tasks.clear();
    Scan->view()->setMarks({});   // the next sheet brings its own
    setSheet(0);
}

// The work that comes next (the one below in the list, or above at its end): its sheet read and
// its scan rendered now, while this one is scored.
void TFormEstimateWork::prefetchNext()
{
    NamedQuery *list = DBGrid1->query();
    const QModelIndex current = DBGrid1->currentIndex();
    if (m_workId <= 0 || !current.isValid() || list->recordCount() < 2)
        return;
    const int row = current.row() + 1 < list->recordCount() ? current.row() + 1 : current.row() - 1;
    const int work = list->value(row, QStringLiteral("id")).toInt();
    if (work == m_ahead.work)
        return;
    try {
        m_ahead = {work, ScoringData::tasks(work), ScoringData::scanOf(work)};
        Scan->prefetch(m_ahead.scan);
    } catch (const std::exception &e) {
        m_ahead = {};   // it is read when it is opened, as any other
        EventLog::write(windowTitle(), QStringLiteral("Следующая работа не прочитана заранее: ") + QString::fromUtf8(e.what()));
    }
}

void TFormEstimateWork::readEstimate(int workId)
{
    removeComponent();
    const QList<TaskDef> defs = m_ahead.work == workId ? m_ahead.tasks : ScoringData::tasks(workId);
    m_rules = ScoreSheet(defs);
    QWidget *sheet = sheetArea->widget();
    // Tasks come by descending id and each task's controls are made from the bottom up; on screen
    // they read by ascending id, title first. They go into the layout at the end, in one pass, so
    // that a sheet of many tasks is built in linear time.
    QList<QWidget *> widgets;
    QList<QWidget *> onScreen;   // bottom to top
    auto onTop = [&widgets, &onScreen](QWidget *w, const QString &name) {
        w->setObjectName(name);
        widgets << w;
        onScreen << w;
    };
    for (const TaskDef &def : defs) {
        const QString id = QString::number(def.id);
        const bool sane = ScoreSheet::hasSaneMaximum({def.id, def.max, {}});
        const int max = ScoreSheet::maxOf({def.id, def.max, {}});
        const QString title = shownText(def.title);
        widgets.clear();

        auto *bar = new QFrame(sheet);
        bar->setFixedHeight(5);
        bar->setStyleSheet(QStringLiteral("background-color: palette(highlight); border-radius: 2px;"));
        onTop(bar, QStringLiteral("MyShape_") + id);

        auto *memo = new TMemo(kCommentLength, sheet);
        memo->setFixedHeight(90);
        memo->setTabChangesFocus(true);   // Tab goes on to the next task

        connect(memo, &QPlainTextEdit::textChanged, memo, [memo] { memo->setStyleSheet(QString()); });
        connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, task = def.id] {
            m_rules.setComment(task, memo->toPlainText());
            sheetEdited();
        });
        // the list of earlier comments follows what is typed while it is open
        connect(memo, &QPlainTextEdit::textChanged, this, [this, memo] {
            if (m_commentList->widget() == memo && m_commentList->popup()->isVisible())
                offerComments(memo);
        });
        memo->installEventFilter(this);   // Ctrl+Space
        setHint(memo, QStringLiteral("Комментарий обязателен, если задание оценено не на максимальный балл. "
                                        "Комментарий будет виден участнику"));
        onTop(memo, QStringLiteral("commentMemo_") + id);

        auto *comment2 = captionFor(memo, QStringLiteral("Краткий комментарий:"), sheet);
        comment2->setWordWrap(true);
        onTop(comment2, QStringLiteral("comment2_") + id);

        auto *score = new QComboBox(sheet);
        score->setEditable(true);
        score->setCursor(Qt::PointingHandCursor);
        for (int i = 0; i <= max; ++i)
            score->addItem(QString::number(i));
        score->setEditText(QStringLiteral("0"));
        score->setEnabled(sane);   // a damaged maximum: nothing can be given for the task
        // only a whole number from 0 to the maximum can be typed: a key that cannot make one is
        // refused where it is typed, not found at save time
        score->setValidator(new ScoreValidator(qMax(max, 0), score));
        wheelOnlyWithFocus(score);   // scrolling the sheet never changes a score
        // named by task, so that a screen reader tells the boxes of the tasks apart
        score->setAccessibleName(QStringLiteral("Экспертная оценка: ") + title);
        memo->setAccessibleName(QStringLiteral("Краткий комментарий: ") + title);
        connect(score, &QComboBox::currentTextChanged, score, [score] { score->setStyleSheet(QString()); });
        connect(score, &QComboBox::currentTextChanged, this, [this, task = def.id](const QString &text) {
            m_rules.setScore(task, text);
            sheetEdited();
        });
        score->installEventFilter(this);
        score->lineEdit()->installEventFilter(this);
        score->view()->parentWidget()->installEventFilter(this);   // the drop-down closing
        setHint(score, QStringLiteral("Экспертная оценка за выполненное задание"));
        score->setObjectName(QStringLiteral("Estimate_") + id);
        // the box and its maximum beside it: "из N"
        auto *scoreRow = new QWidget(sheet);
        auto *rowLayout = new QHBoxLayout(scoreRow);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        score->setParent(scoreRow);
        rowLayout->addWidget(score, 1);
        auto *outOf = plainLabel(sane ? QStringLiteral("из %1").arg(max) : maximumRefused(def.max), scoreRow);
        outOf->setWordWrap(!sane);
        outOf->setObjectName(QStringLiteral("maxEstimate_") + id);
        rowLayout->addWidget(outOf);
        onTop(scoreRow, QStringLiteral("scoreRow_") + id);

        auto *comment1 = captionFor(score, QStringLiteral("Экспертная оценка:"), sheet);
        comment1->setWordWrap(true);
        onTop(comment1, QStringLiteral("comment1_") + id);

        auto *caption = plainLabel(title, sheet);
        caption->setAlignment(Qt::AlignCenter);
        caption->setWordWrap(true);
        caption->setStyleSheet(QStringLiteral("color: palette(link);"));
        caption->setCursor(Qt::PointingHandCursor);
        setHint(caption, QStringLiteral("Задание для экспертного оценивания: ") + title);
        if (title.size() < def.title.size()) {   // cut: the whole title on a click
            caption->setToolTip(QStringLiteral("Щёлкните, чтобы прочитать задание целиком"));
            caption->installEventFilter(this);
            m_wholeTitles.insert(caption, def.title);
        }
        onTop(caption, QStringLiteral("title_") + id);
        m_tasks.append({id.toInt(), def.max, score, memo, widgets, def.title});
    }
    // Shown at once, so that the checks can put the focus into them; each shown on a visible sheet
    // would lay the whole sheet out again, so the sheet is laid out once, when it shows again.
    const bool visible = sheet->isVisible();
    sheet->hide();
    for (qsizetype i = onScreen.size() - 1, at = 0; i >= 0; --i, ++at)
        m_sheet->insertWidget(int(at), onScreen[i]);
    for (QWidget *w : std::as_const(onScreen))
        w->show();
    sheet->setVisible(visible);
    setSheet(workId);
    // Tab goes task by task as shown (ascending id): score, then comment; then "Сохранить".
    QWidget *previous = DBGrid1;
    for (qsizetype i = m_tasks.size() - 1; i >= 0; --i) {
        for (QWidget *w : {static_cast<QWidget *>(m_tasks.at(i).score), static_cast<QWidget *>(m_tasks.at(i).memo)}) {
            QWidget::setTabOrder(previous, w);
            previous = w;
        }
    }
    QWidget::setTabOrder(previous, BitBtn1);
    readEarlierComments(workId);
    fillFromDraft();
    updateTotal();
}

// A sheet typed before and not saved comes back as it was typed: the expert's own, this period's.
void TFormEstimateWork::fillFromDraft()
{
    const std::optional<Draft> draft = m_period > 0 ? m_drafts->load(m_workId, m_sheetExpert, m_period) : std::nullopt;
    Scan->view()->setMarks(draft ? draft->marks : QList<ScanMark>());
    if (!draft)
        return;
    m_filling = true;
    m_rules.fill(draft->tasks, kCommentLength);   // cut to what the boxes take
    for (const Task &t : std::as_const(m_tasks)) {
        t.score->setEditText(m_rules.scoreText(t.id));
        t.memo->setPlainText(m_rules.comment(t.id));
    }
    m_filling = false;
    m_draftRestored = draft->savedAt.isValid() ? draft->savedAt : QDateTime::currentDateTime();
}

void TFormEstimateWork::sheetEdited()
{
    updateTotal();
    if (m_filling || m_workId <= 0)
        return;
    m_dirty = true;
    if (!m_draftTimer->isActive())
        m_draftTimer->start();
}

void TFormEstimateWork::writeDraft()
{
    m_draftTimer->stop();
    if (!m_dirty || m_workId <= 0 || m_period <= 0)
        return;
    Draft draft{m_workId, m_sheetExpert, m_period, QDateTime::currentDateTimeUtc(), {}};
    draft.tasks = m_rules.draftTasks();
    draft.marks = Scan->view()->marks();
    try {
        m_drafts->save(draft);
    } catch (const DraftStore::Failure &f) {
        draftNotKept(f.message());
        return;
    }
    m_dirty = false;
    if (!m_draftWorks.contains(draft.work)) {
        m_draftWorks.insert(draft.work);
        DBGrid1->refreshMarks();
    }
}

void TFormEstimateWork::draftNotKept(const QString &reason)
{
    EventLog::write(windowTitle(), QStringLiteral("Черновик не сохранён: ") + reason);
    if (m_draftsFailureTold)
        return;
    // once: the expert must know that only Ctrl+S keeps a score now (a full or read-only disk);
    // after the current event, since this may run while the window is being left
    m_draftsFailureTold = true;
    QTimer::singleShot(0, this, [] {
        Platform::get().information(QStringLiteral("Черновики оценочных листов не сохраняются на этом компьютере (диск "
                                                   "заполнен или недоступен для записи). Сохраняйте каждую оценённую "
                                                   "работу в базе данных (Ctrl+S)."));
    });
}

// The running total, and the tasks below their maximum still without a comment, as one types.
void TFormEstimateWork::updateTotal()
{
    for (const Task &t : std::as_const(m_tasks)) {
        TMemo *memo = t.memo;
        // only once the score was given: a fresh sheet is not all warnings
        const bool wanting = m_rules.wantsComment(t.id);
        const QString amber = QStringLiteral("border: 2px dashed #d08000;");
        if (wanting && memo->styleSheet().isEmpty())
            memo->setStyleSheet(amber);
        else if (!wanting && memo->styleSheet() == amber)
            memo->setStyleSheet(QString());
        memo->setProperty("needsComment", wanting);
    }
    LabelTotal->setText(m_tasks.isEmpty() ? QString()
                                          : QStringLiteral("Итого: %1 из %2").arg(m_rules.total()).arg(m_rules.maximum()));
}

// The expert's comments on these tasks in earlier works, counted here: one read per sheet, none
// while typing. A failure only leaves the list empty.
void TFormEstimateWork::readEarlierComments(int workId)
{
    m_earlierComments.clear();
    try {
        m_earlierComments = ScoringData::earlierComments(m_sheetExpert, workId);
    } catch (const std::exception &e) {
        EventLog::write(windowTitle(), QStringLiteral("Прежние комментарии не прочитаны: ") + QString::fromUtf8(e.what()));
    }
}

void TFormEstimateWork::offerComments(TMemo *memo)
{
    const Task *task = taskOf(memo);
    if (!task)
        return;
    auto *model = static_cast<QStringListModel *>(m_commentList->model());
    if (m_commentList->widget() != memo || model->stringList() != m_earlierComments.value(task->id)) {
        m_commentList->setWidget(memo);
        memo->setList(m_commentList->popup());
        model->setStringList(m_earlierComments.value(task->id));
    }
    m_commentList->setCompletionPrefix(memo->toPlainText().trimmed());
    if (m_commentList->completionCount() == 0) {
        m_commentList->popup()->hide();
        return;
    }
    QRect at = memo->cursorRect();
    at.setWidth(memo->viewport()->width());
    m_commentList->complete(at);
    m_commentList->popup()->setCurrentIndex(m_commentList->completionModel()->index(0, 0));   // Enter takes the first
}

bool TFormEstimateWork::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && m_wholeTitles.contains(watched)) {
        showWholeText(this, QStringLiteral("Задание"), m_wholeTitles.value(watched));
        return true;
    }
    if (event->type() == QEvent::KeyPress && qobject_cast<TMemo *>(watched)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::ControlModifier) {
            offerComments(static_cast<TMemo *>(watched));
            return true;
        }
    }
    // A key a score box refuses changes nothing, the selection included: the next digit still
    // replaces the score ("9" refused in an "из 8" box, then "5" gives 5, not 05).
    if (event->type() == QEvent::KeyPress) {
        // the box has the focus and hands its keys on to its line edit, which may see them too
        auto *box = qobject_cast<QComboBox *>(watched);
        if (!box && qobject_cast<QLineEdit *>(watched))
            box = qobject_cast<QComboBox *>(watched->parent());
        QLineEdit *edit = box && taskOf(box) ? box->lineEdit() : nullptr;   // a task's score box
        const auto *key = static_cast<QKeyEvent *>(event);
        if (edit && edit->validator() && !key->text().isEmpty() && key->text().at(0).isPrint()
            && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            QString candidate = edit->text();
            int at = edit->cursorPosition();
            if (edit->hasSelectedText()) {
                at = edit->selectionStart();
                candidate.remove(at, edit->selectedText().size());
            }
            candidate.insert(at, key->text());
            if (edit->validator()->validate(candidate, at) == QValidator::Invalid)
                return true;
        }
    }
    // A score box is entered with its text selected, so the digits typed replace the score:
    // the line edit does so itself for Tab; a click would place the cursor after the focus.
    // So also when the focus comes back from the drop-down (Esc) or with the window.
    if (event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (auto *edit = qobject_cast<QLineEdit *>(watched); edit && reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    }
    // The drop-down closes (Esc, or a choice) and the focus never left the box: select too.
    if (event->type() == QEvent::Hide) {
        if (auto *combo = qobject_cast<QComboBox *>(watched->parent()); combo && combo->lineEdit())
            QTimer::singleShot(0, combo->lineEdit(), &QLineEdit::selectAll);
    }
    // PageUp / PageDown in a score box turn the scan's pages, never the score.
    if (event->type() == QEvent::KeyPress && qobject_cast<QComboBox *>(watched)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp) {
            QScrollBar *bar = Scan->view()->verticalScrollBar();
            bar->triggerAction(key->key() == Qt::Key_PageDown ? QAbstractSlider::SliderPageStepAdd
                                                              : QAbstractSlider::SliderPageStepSub);
            return true;
        }
    }
    return TChildForm::eventFilter(watched, event);
}

// A refused task: brought into view, framed in red until its box changes, the focus in it.
void TFormEstimateWork::markRefused(QWidget *box)
{
    // the whole task in view (its title, score and comment), not only the refused box
    QRect task;
    if (const Task *t = taskOf(box))
        for (const QWidget *w : t->widgets)
            task |= w->geometry();
    // the box in the sheet's coordinates (a score box sits in a row with its maximum)
    const QRect boxRect(box->mapTo(sheetArea->widget(), QPoint()), box->size());
    const int room = sheetArea->viewport()->height();
    if (task.isValid() && task.height() <= room)
        sheetArea->ensureVisible(task.center().x(), task.center().y(), task.width() / 2, task.height() / 2);
    else if (task.isValid())   // taller than the view: the refused box whole, and above it as much of the task as fits
        sheetArea->verticalScrollBar()->setValue(std::max(task.top(), boxRect.bottom() + 8 - room));
    else
        sheetArea->ensureWidgetVisible(box);
    box->setStyleSheet(QStringLiteral("border: 2px solid red;"));
    box->setFocus();
}

// The score range and the comment rule, task by task from the highest id.
bool TFormEstimateWork::checkSheet()
{
    const std::optional<ScoreSheet::Refusal> refused = m_rules.firstRefusal();
    if (!refused)
        return true;
    for (const Task &t : std::as_const(m_tasks)) {
        if (t.id != refused->task)
            continue;
        if (refused->rule == ScoreSheet::Rule::Maximum) {
            markRefused(t.memo);
            Platform::get().information(QStringLiteral("Работу нельзя сохранить: у задания «%1» %2. Оценки остальных заданий "
                                                       "сохранены в черновике.")
                                            .arg(shownText(t.title, 200, 1), maximumRefused(t.max)));
        } else if (refused->rule == ScoreSheet::Rule::Range) {
            markRefused(t.score);
            Platform::get().information(QStringLiteral("Оценка за задание должна быть целым числом от 0 до ")
                                        + QString::number(qMax(t.max, 0)));
        } else {
            markRefused(t.memo);
            Platform::get().information(QStringLiteral("У задания, оцененного не на максимальный балл, отсутствует "
                                                       "комментарий. Необходимо обосновать свое решение"));
        }
    }
    return false;
}

bool TFormEstimateWork::commentsFit()
{
    // every comment must fit the column before the first row is written
    for (const Task &t : std::as_const(m_tasks)) {
        if (!storableIn(t.memo, QStringLiteral("zet_result"), QStringLiteral("commentestimate"), t.memo->toPlainText())) {
            markRefused(t.memo);
            return false;
        }
    }
    return true;
}

void TFormEstimateWork::BitBtn1Click()
{
    if (m_workId <= 0)
        return;
    // The results are the expert's who opened the sheet: after a logout or another login the
    // sheet is not theirs to save.
    if (DataER->userID <= 0 || DataER->userID != m_sheetExpert) {
        Platform::get().information(QStringLiteral("Оценочный лист открыт другим пользователем. Откройте работу заново."));
        return;
    }
    if (!checkSheet())
        return;
    const int work = m_workId;
    const QList<TaskScore> scores = m_rules.rows();
    ProgressBar1->setRange(0, int(m_tasks.size()));
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    ScoreSave outcome;
    try {
        if (!commentsFit()) {
            ProgressBar1->hide();
            return;
        }
        outcome = saveScores(work, m_sheetExpert, scores, [this](int done) { ProgressBar1->setValue(done); });
    } catch (const std::exception &e) {
        // Nothing was stored; the sheet stays as typed for another try, and in the drafts.
        m_dirty = true;
        writeDraft();
        ProgressBar1->hide();
        Platform::get().information(withReason(QStringLiteral("При сохранении возникла ошибка"), e), QString::fromUtf8(e.what()));
        offerOtherNetworkAfter(e);
        return;
    }
    ProgressBar1->hide();
    // marked on screen: the checked copy is made from the scan and the sheet as saved
    std::optional<CheckedCopies::Copy> copy;
    if (outcome == ScoreSave::Saved && !Scan->view()->marks().isEmpty())
        copy = checkedCopy(work);
    // stored (or stored before): the draft has served its purpose
    m_drafts->remove(work, m_sheetExpert);
    m_draftWorks.remove(work);
    m_dirty = false;
    // the next work is the one below the saved one in the order on screen (above, if it was
    // the last), found again by its id after the list is read anew
    int next = 0;
    NamedQuery *shown = DBGrid1->query();
    for (int row = 0; row < shown->recordCount(); ++row) {
        if (shown->value(row, QStringLiteral("id")).toInt() == work) {
            const int neighbour = row + 1 < shown->recordCount() ? row + 1 : row - 1;
            next = shown->value(neighbour, QStringLiteral("id")).toInt();   // 0 when it was the only one
            break;
        }
    }
    removeComponent();
    Scan->clear();
    readData();
    if (copy)
        makeCheckedCopy(*copy);
    Platform::get().information(outcome == ScoreSave::AlreadyScored
                                    ? QStringLiteral("Эта работа уже оценена. Повторное сохранение невозможно.")
                                    : QStringLiteral("Данные сохранены"));
    // on to the next unscored work: the one that took the saved work's place in the list
    NamedQuery *list = DBGrid1->query();
    int row = 0;
    while (row < list->recordCount() && list->value(row, QStringLiteral("id")).toInt() != next)
        ++row;
    if (list->recordCount() > 0) {
        DBGrid1->setCurrentIndex(DBGrid1->model()->index(row < list->recordCount() ? row : 0, 0));
        focusFirstScore();
    }
}

// What the checked copy of the work just saved is made of: the scan shown, the marks and the sheet.
// A copy that cannot be made says why in the window; the scores are stored whatever happens to it.
std::optional<CheckedCopies::Copy> TFormEstimateWork::checkedCopy(int work)
{
    const std::optional<ScoringData::WorkOwner> owner = ScoringData::ownerOf(work);
    const QString original = Scan->shownFile(work);
    if (!owner || original.isEmpty()) {
        m_copyNote = QStringLiteral("Проверенная копия не создана: скан работы недоступен.");
        showCopies();
        return std::nullopt;
    }
    return CheckedCopies::Copy{work, m_sheetExpert, owner->discipline, owner->participant, original, Scan->view()->marks(),
                               CheckedCopies::scorePage(owner->disciplineName, owner->participant, owner->classStudy, m_rules)};
}

void TFormEstimateWork::makeCheckedCopy(const CheckedCopies::Copy &copy)
{
    QPointer<TFormEstimateWork> self(this);
    const int net = DataER->net();
    CheckedCopies::get().make(copy, [self, net, code = copy.participant](const QString &failure) {
        if (!failure.isEmpty()) {
            EventLog::write(QStringLiteral("Проверенные копии"), QStringLiteral("Не создана для работы ") + QString::number(code) + QStringLiteral(": ") + failure);
            if (self) {
                self->m_copyNote = QStringLiteral("Проверенная копия работы %1 не создана: %2. Оценки сохранены.").arg(code).arg(failure);
                self->showCopies();
            }
            return;
        }
        CheckedCopies::get().sendPending(net);
    });
}

void TFormEstimateWork::showCopies()
{
    const int waiting = CheckedCopies::get().pending();
    QStringList lines;
    if (waiting > 0)
        lines << QStringLiteral("Проверенные копии ожидают отправки: ") + QString::number(waiting);
    if (!m_sendFailure.isEmpty() && waiting > 0)
        lines << m_sendFailure;
    if (!m_copyNote.isEmpty())
        lines << m_copyNote;
    lines << CheckedCopies::get().refusals();
    LabelCopies->setText(lines.join(u'\n'));
    LabelCopies->setVisible(!lines.isEmpty());
}

void TFormEstimateWork::FormClose()
{
    QSettings().setValue(QStringLiteral("estimate/panes"), Splitter->saveState());
    removeComponent();
    ScoringData::closeQueries();
}

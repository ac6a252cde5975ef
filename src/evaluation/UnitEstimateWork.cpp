#include "evaluation/UnitEstimateWork.h"

#include <QComboBox>
#include <QFrame>
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
#include "data/VardexError.h"

TFormEstimateWork *FormEstimateWork = nullptr;

TFormEstimateWork::TFormEstimateWork(QWidget *parent)
    : TChildForm(QStringLiteral("Оценивание работ участников общеобразовательных мероприятий"), parent)
{
    resize(918, 554);
    auto *layout = new QVBoxLayout(this);
    auto *splitter = new QSplitter(Qt::Horizontal, this);

    auto *left = new QWidget(splitter);
    left->setFixedWidth(337);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    DBGrid1 = new TDBGrid(left);
    leftLayout->addWidget(captionFor(DBGrid1, QStringLiteral("Список непроверенных работ:"), left));
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    NamedQuery *list = DataER->query(QStringLiteral("GETestimate"));
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
    splitter->addWidget(left);

    auto *right = new QWidget(splitter);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = new QScrollArea(right);
    rightLayout->addWidget(captionFor(ScrollBox1, QStringLiteral("Оценочный лист:"), right));
    LabelWork = plainLabel(QString(), right);
    LabelWork->setObjectName(QStringLiteral("LabelWork"));
    QFont bold = LabelWork->font();
    bold.setBold(true);
    LabelWork->setFont(bold);
    rightLayout->addWidget(LabelWork);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(true);
    auto *sheet = new QWidget(ScrollBox1);
    m_sheet = new QVBoxLayout(sheet);
    m_sheet->addStretch();   // the sheet stacks from the top
    ScrollBox1->setWidget(sheet);
    rightLayout->addWidget(ScrollBox1, 1);
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
    warning->setStyleSheet(QStringLiteral("color: blue;"));
    warning->setAlignment(Qt::AlignCenter);
    warning->setWordWrap(true);
    saveRow->addWidget(warning, 1);
    rightLayout->addLayout(saveRow);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

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
    layout->addLayout(bottom);

    setSheet(0);
    readData();   // FormCreate
}

void TFormEstimateWork::setSheet(int workId)
{
    m_workId = workId;
    m_sheetExpert = workId > 0 ? DataER->userID : -1;
    BitBtn1->setEnabled(workId > 0);
    if (workId <= 0)
        LabelWork->clear();
}

void TFormEstimateWork::readData()
{
    openForSession(DataER->query(QStringLiteral("GETestimate")));
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
    readEstimate(work);
    LabelWork->setText(QStringLiteral("Работа: ") + list->value(row, QStringLiteral("PrefixEncrypt")).toString()
                       + QStringLiteral(", класс ") + list->value(row, QStringLiteral("classStudy")).toString()
                       + QStringLiteral(", код работы ") + list->value(row, QStringLiteral("user_id")).toString());
}

void TFormEstimateWork::removeComponent()
{
    QWidget *sheet = ScrollBox1->widget();
    const QList<QWidget *> controls = sheet->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *w : controls)
        delete w;
    m_tasks.clear();
    setSheet(0);
}

void TFormEstimateWork::readEstimate(int workId)
{
    removeComponent();
    NamedQuery *q = DataER->query(QStringLiteral("GETestimateWork"));
    q->close();
    q->setParam(QStringLiteral("untestID"), workId);
    q->open();
    QWidget *sheet = ScrollBox1->widget();
    // Tasks come by descending id, each control goes on top: on screen they read by ascending id.
    auto onTop = [this](QWidget *w, const QString &name) {
        w->setObjectName(name);
        m_sheet->insertWidget(0, w);
        w->show();   // at once, so that the checks can put the focus into it
    };
    for (q->first(); !q->eof(); q->next()) {
        const QString id = q->field(QStringLiteral("id")).toString();
        const int max = q->field(QStringLiteral("maxestimation")).toInt();
        const QString title = q->field(QStringLiteral("titletask")).toString();
        m_tasks.append({id.toInt(), max});

        auto *bar = new QFrame(sheet);
        bar->setFixedHeight(5);
        bar->setStyleSheet(QStringLiteral("background-color: blue; border-radius: 2px;"));
        onTop(bar, QStringLiteral("MyShape_") + id);

        auto *memo = new TMemo(500, sheet);
        memo->setFixedHeight(90);
        memo->setTabChangesFocus(true);   // Tab goes on to the next task

        connect(memo, &QPlainTextEdit::textChanged, memo, [memo] { memo->setStyleSheet(QString()); });
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
        wheelOnlyWithFocus(score);   // scrolling the sheet never changes a score
        // named by task, so that a screen reader tells the boxes of the tasks apart
        score->setAccessibleName(QStringLiteral("Экспертная оценка: ") + title);
        memo->setAccessibleName(QStringLiteral("Краткий комментарий: ") + title);
        connect(score, &QComboBox::currentTextChanged, score, [score] { score->setStyleSheet(QString()); });
        setHint(score, QStringLiteral("Экспертная оценка за выполненное задание"));
        onTop(score, QStringLiteral("Estimate_") + id);

        auto *comment1 = captionFor(score, QStringLiteral("Экспертная оценка:"), sheet);
        comment1->setWordWrap(true);
        onTop(comment1, QStringLiteral("comment1_") + id);

        auto *caption = plainLabel(title, sheet);
        caption->setAlignment(Qt::AlignCenter);
        caption->setWordWrap(true);
        caption->setStyleSheet(QStringLiteral("color: blue;"));
        caption->setCursor(Qt::PointingHandCursor);
        setHint(caption, QStringLiteral("Задание для экспертного оценивания: ") + title);
        onTop(caption, QStringLiteral("title_") + id);
    }
    setSheet(workId);
    // Tab goes task by task as shown (ascending id): score, then comment; then "Сохранить".
    QWidget *previous = DBGrid1;
    for (qsizetype i = m_tasks.size() - 1; i >= 0; --i) {
        const QString id = QString::number(m_tasks.at(i).id);
        for (const QString &name : {QStringLiteral("Estimate_") + id, QStringLiteral("commentMemo_") + id}) {
            QWidget *w = sheet->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
            QWidget::setTabOrder(previous, w);
            previous = w;
        }
    }
    QWidget::setTabOrder(previous, BitBtn1);
}

// A refused task: brought into view, framed in red until its box changes, the focus in it.
void TFormEstimateWork::markRefused(QWidget *box)
{
    ScrollBox1->ensureWidgetVisible(box);
    box->setStyleSheet(QStringLiteral("border: 2px solid red;"));
    box->setFocus();
}

std::optional<int> TFormEstimateWork::getValueEstim(const QString &name, int max) const
{
    auto *box = ScrollBox1->widget()->findChild<QComboBox *>(name, Qt::FindDirectChildrenOnly);
    if (!box)
        return 0;
    bool ok = false;
    const int value = box->currentText().trimmed().toInt(&ok);
    if (!ok || value < 0 || value > qMax(max, 0))
        return std::nullopt;
    return value;
}

int TFormEstimateWork::getValueMemo(const QString &name)
{
    auto *memo = ScrollBox1->widget()->findChild<TMemo *>(name, Qt::FindDirectChildrenOnly);
    if (!memo)
        return 0;
    memo->setFocus();
    return int(memo->toPlainText().size());
}

QString TFormEstimateWork::getValueMemoText(const QString &name) const
{
    auto *memo = ScrollBox1->widget()->findChild<TMemo *>(name, Qt::FindDirectChildrenOnly);
    return memo ? memo->toPlainText() : QString();
}

// The score range and the comment rule, task by task from the highest id.
bool TFormEstimateWork::checkSheet()
{
    for (const Task &t : std::as_const(m_tasks)) {
        const QString id = QString::number(t.id);
        const std::optional<int> score = getValueEstim(QStringLiteral("Estimate_") + id, t.max);
        if (!score) {
            if (auto *box = ScrollBox1->widget()->findChild<QComboBox *>(QStringLiteral("Estimate_") + id))
                markRefused(box);
            Platform::get().information(QStringLiteral("Оценка за задание должна быть целым числом от 0 до ")
                                        + QString::number(qMax(t.max, 0)));
            return false;
        }
        if (*score < t.max && getValueMemo(QStringLiteral("commentMemo_") + id) == 0) {
            if (auto *memo = ScrollBox1->widget()->findChild<TMemo *>(QStringLiteral("commentMemo_") + id))
                markRefused(memo);
            Platform::get().information(QStringLiteral("У задания, оцененного не на максимальный балл, отсутствует "
                                                       "комментарий. Необходимо обосновать свое решение"));
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
    QList<TaskScore> scores;
    for (const Task &t : std::as_const(m_tasks)) {
        const QString id = QString::number(t.id);
        scores.append({t.id, *getValueEstim(QStringLiteral("Estimate_") + id, t.max),
                       getValueMemoText(QStringLiteral("commentMemo_") + id)});
    }
    ProgressBar1->setRange(0, int(m_tasks.size()));
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    ScoreSave outcome;
    try {
        outcome = saveScores(work, m_sheetExpert, scores, [this](int done) { ProgressBar1->setValue(done); });
    } catch (const std::exception &e) {
        // Nothing was stored; the sheet stays as typed for another try.
        ProgressBar1->hide();
        Platform::get().information(withReason(QStringLiteral("При сохранении возникла ошибка"), e), QString::fromUtf8(e.what()));
        return;
    }
    ProgressBar1->hide();
    removeComponent();
    readData();
    Platform::get().information(outcome == ScoreSave::AlreadyScored
                                    ? QStringLiteral("Эта работа уже оценена. Повторное сохранение невозможно.")
                                    : QStringLiteral("Данные сохранены"));
}

void TFormEstimateWork::FormClose()
{
    removeComponent();
    DataER->query(QStringLiteral("GETestimateWork"))->close();
    DataER->query(QStringLiteral("GETestimate"))->close();
}

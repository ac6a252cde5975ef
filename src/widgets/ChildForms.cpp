#include "widgets/ChildForms.h"

#include "data/DataOperations.h"

#include <QApplication>
#include <QScopeGuard>
#include <QScrollBar>
#include <QCloseEvent>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <QTableView>
#include <QTextCursor>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/Background.h"
#include "data/NamedQuery.h"

TChildForm::TChildForm(const QString &title, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(16);
    setFont(f);
}

void TChildForm::closeWindow()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

TChildForm::~TChildForm() = default;

void TChildForm::closeEvent(QCloseEvent *event)
{
    runCommand([this] {
        FormClose();
        for (NamedQuery *q : std::as_const(m_queries))
            q->close();
    });
    if (clearInstance)
        clearInstance();
    m_closed = true;
    event->accept();
}

TDialogForm::TDialogForm(const QString &title, int clientWidth, int clientHeight, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(clientWidth, clientHeight);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(16);
    setFont(f);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        move(r.center() - QPoint(clientWidth / 2, clientHeight / 2));
    }
}

QPushButton *TDialogForm::addOkCancel(QBoxLayout *row, const QString &okHint, const QString &cancelHint,
                                      const QString &okCaption)
{
    auto *ok = hintedButton(this, okCaption, "BitBtn1", okHint);
    ok->setDefault(true);
    auto *cancel = hintedButton(this, QStringLiteral("Отмена"), "BitBtn2", cancelHint);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return ok;
}

void placeInside(QMdiArea *area, QMdiSubWindow *sub)
{
    const QRect room = area->viewport()->rect();
    const QSize size = sub->size().boundedTo(room.size());
    sub->resize(size);
    const int x = qBound(0, sub->x(), room.width() - size.width());
    const int y = qBound(0, sub->y(), room.height() - size.height());
    sub->move(x, y);
}

QString plainCaption(const QString &caption)
{
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && ++i >= caption.size())
            break;
        out += caption.at(i);
    }
    return out;
}

QLabel *captionFor(QWidget *field, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(field);
    // Lists and grids do not take their name from a buddy: give it to them outright.
    if (field->accessibleName().isEmpty()) {
        QString name = text;
        name = plainCaption(name).replace(QLatin1Char('\n'), QLatin1Char(' '));
        name = name.simplified();
        if (name.endsWith(QLatin1Char(':')))
            name.chop(1);
        field->setAccessibleName(name);
    }
    return label;
}

void setHint(QWidget *widget, const QString &hint)
{
    widget->setAccessibleDescription(hint);
    // A tooltip that looks like markup is rendered as such: hints may quote stored texts.
    widget->setToolTip(Qt::mightBeRichText(hint) ? QStringLiteral("<qt>") + hint.toHtmlEscaped() + QStringLiteral("</qt>")
                                                 : hint);
    widget->setStatusTip(hint);
}

namespace {
class TabHints : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::MouseMove && event->type() != QEvent::Leave)
            return false;
        auto *bar = static_cast<QTabBar *>(watched);
        const int tab = event->type() == QEvent::MouseMove
            ? bar->tabAt(static_cast<QMouseEvent *>(event)->position().toPoint()) : -1;
        const QString tip = tab >= 0 ? bar->tabToolTip(tab) : QString();
        if (tip != bar->property("shownHint").toString()) {
            bar->setProperty("shownHint", tip);
            QStatusTipEvent hint(tip);
            QCoreApplication::sendEvent(bar, &hint);
        }
        return false;
    }
};
} // namespace

void hintTabs(QTabWidget *tabs)
{
    static TabHints filter;
    tabs->tabBar()->setMouseTracking(true);
    tabs->tabBar()->installEventFilter(&filter);
}

void showAsStars(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QPushButton *hintedButton(QWidget *parent, const QString &caption, const char *objectName, const QString &hint)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    setHint(button, hint);
    return button;
}

void setStoredText(QLineEdit *edit, const QString &text)
{
    if (text.size() > edit->maxLength())
        edit->setMaxLength(int(text.size()));
    edit->setText(text);
}

void runOffThread(const std::function<void()> &work, const std::function<void()> &meanwhile)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    runInBackground(work, meanwhile);
}

QProgressBar *byteProgressBar(QWidget *parent)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(QStringLiteral("ProgressBar1"));
    bar->setTextVisible(false);
    bar->setFixedHeight(8);
    bar->reset();   // empty until bytes move
    return bar;
}

void showBytes(QProgressBar *bar, qint64 done, qint64 total)
{
    bar->setRange(0, int(qMax<qint64>(1, total / 1024)));
    bar->setValue(int(done / 1024));
}

PacedProgress::PacedProgress(QProgressBar *bar, QObject *parent)
    : QObject(parent), m_bar(bar), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &PacedProgress::show);
}

void PacedProgress::set(int value)
{
    m_pending = value;
    if (!m_since.isValid() || m_since.elapsed() >= 100)
        show();
    else if (!m_timer->isActive())
        m_timer->start(int(100 - m_since.elapsed()));
}

void PacedProgress::show()
{
    m_timer->stop();
    m_since.start();
    if (m_bar)
        m_bar->setValue(m_pending);
}

TLookupCombo *addLookup(QWidget *parent, QBoxLayout *layout, const QString &caption, const char *objectName,
                        const QString &hint)
{
    auto *combo = new TLookupCombo(parent);
    layout->addWidget(captionFor(combo, caption, parent));
    combo->setObjectName(QString::fromLatin1(objectName));
    combo->setCursor(Qt::PointingHandCursor);
    setHint(combo, hint);
    layout->addWidget(combo);
    return combo;
}

TLookupCombo::TLookupCombo(QWidget *parent) : QComboBox(parent)
{
    wheelOnlyWithFocus(this);
    connect(this, &QComboBox::currentIndexChanged, this, [this] { m_changed = true; });
    // activated comes after the entry is current, for the popup, the keys and the wheel alike
    connect(this, &QComboBox::activated, this, [this] {
        if (!m_changed)
            return;
        m_changed = false;
        emit chosen();
    });
}

void TLookupCombo::bind(NamedQuery *query, const QString &shownField, const QString &keyField)
{
    m_query = query;
    m_shown = shownField;
    m_key = keyField;
    connect(query, &NamedQuery::opened, this, &TLookupCombo::refill);
    connect(query, &NamedQuery::closed, this, &TLookupCombo::refill);
    refill();
}

void TLookupCombo::refill()
{
    QSignalBlocker block(this);
    clear();
    if (m_query && m_query->active())
        for (int r = 0; r < m_query->recordCount(); ++r)
            addItem(m_query->value(r, m_shown).toString());
    setCurrentIndex(count() > 0 ? 0 : -1);
    m_changed = false;
}

int TLookupCombo::keyValue() const
{
    if (!m_query)   // a list filled by hand keeps its keys as item data
        return currentIndex() < 0 ? 0 : currentData().toInt();
    return rowValue(m_key).toInt();
}

QVariant TLookupCombo::rowValue(const QString &field) const
{
    const int row = currentIndex();
    if (!m_query || row < 0 || row >= m_query->recordCount())
        return {};
    return m_query->value(row, field);
}

void TLookupCombo::selectKey(int key)
{
    int found = -1;
    for (int r = 0; m_query && r < m_query->recordCount() && found < 0; ++r)
        if (m_query->value(r, m_key).toInt() == key)
            found = r;
    selectIndex(found);
}

void TLookupCombo::selectIndex(int index)
{
    setCurrentIndex(index);
    m_changed = false;
}

namespace {
// Hands a wheel turned over an unfocused value box to the scroll bar of the area around it.
class WheelGuard : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->hasFocus())
            return false;
        for (QWidget *w = widget->parentWidget(); w; w = w->parentWidget())
            if (auto *area = qobject_cast<QAbstractScrollArea *>(w)) {
                QCoreApplication::sendEvent(area->verticalScrollBar(), event);
                break;
            }
        return true;
    }
};
} // namespace

void wheelOnlyWithFocus(QWidget *widget)
{
    static WheelGuard guard;
    widget->setFocusPolicy(Qt::StrongFocus);
    widget->installEventFilter(&guard);
}

void bindTitleClickSort(QTableView *grid, const std::function<NamedQuery *()> &sortedQuery)
{
    QObject::connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, grid, [grid, sortedQuery](int column) {
        runCommand([&] {
            NamedQuery *q = sortedQuery();
            const QString field = q->model()->fieldName(column);
            if (!field.isEmpty())
                q->sortRows(field);   // the rows held, in memory: no new query per click
        });
    });
}

// Titles and alignment of a grid's columns over the query's own model.
class GridProxy : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QList<GridColumn> columns;
    std::function<bool(int)> marked;
    QString markHint;
    QIcon mark;

    bool isMarked(const QModelIndex &index) const
    {
        return marked && index.column() == firstShown() && marked(index.row());
    }
    int firstShown() const
    {
        for (int c = 0; c < columnCount(); ++c)
            if (column(c))
                return c;
        return 0;
    }

    const GridColumn *column(int section) const
    {
        const auto *model = qobject_cast<QueryModel *>(sourceModel());
        const QString field = model ? model->fieldName(section) : QString();
        for (const GridColumn &c : columns)
            if (c.field.compare(field, Qt::CaseInsensitive) == 0)
                return &c;
        return nullptr;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal) {
            const GridColumn *c = column(section);
            if (role == Qt::DisplayRole && c)
                return c->title;
            if (role == Qt::TextAlignmentRole)
                return int(Qt::AlignCenter);
        }
        return QIdentityProxyModel::headerData(section, orientation, role);
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::TextAlignmentRole) {
            if (const GridColumn *c = column(index.column()))
                return int(c->align);
        }
        if ((role == Qt::DecorationRole || role == Qt::ToolTipRole) && isMarked(index))
            return role == Qt::DecorationRole ? QVariant(mark) : QVariant(markHint);
        return QIdentityProxyModel::data(index, role);
    }
};

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    viewport()->setCursor(Qt::PointingHandCursor);
    verticalHeader()->hide();
    QFont bold = horizontalHeader()->font();
    bold.setBold(true);
    horizontalHeader()->setFont(bold);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(true);
}

void TDBGrid::bind(NamedQuery *query, const QList<GridColumn> &columns)
{
    m_query = query;
    m_columns = columns;
    if (!m_proxy) {
        m_proxy = new GridProxy(this);
        m_proxy->setSourceModel(query->model());
        setModel(m_proxy);
        // after the view's own reset handling, which would show hidden columns again
        connect(m_proxy, &QAbstractItemModel::modelReset, this, &TDBGrid::applyColumns);
    }
    m_proxy->columns = columns;
    m_proxy->setSourceModel(query->model());
    applyColumns();
}

void TDBGrid::applyColumns()
{
    resizeColumnsToContents();   // titles included: a short column keeps its whole title
    for (int c = 0; c < m_proxy->columnCount(); ++c) {
        const GridColumn *column = m_proxy->column(c);
        setColumnHidden(c, column == nullptr);
        // a designed width, but never narrower than the column's title
        if (column && column->width > 0)
            setColumnWidth(c, qMax(column->width, horizontalHeader()->sectionSizeHint(c)));
    }
}

void TDBGrid::setRowMark(std::function<bool(int row)> marked, const QString &hint)
{
    if (!m_proxy)
        return;
    QPixmap dot(10, 10);
    dot.fill(Qt::transparent);
    QPainter p(&dot);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd0, 0x80, 0x00));   // amber: reads on light and dark rows, selected or not
    p.drawEllipse(QRectF(1, 1, 8, 8));
    p.end();
    m_proxy->mark = QIcon(dot);
    m_proxy->marked = std::move(marked);
    m_proxy->markHint = hint;
    refreshMarks();
}

void TDBGrid::refreshMarks()
{
    if (m_proxy && m_proxy->rowCount() > 0)
        emit m_proxy->dataChanged(m_proxy->index(0, 0), m_proxy->index(m_proxy->rowCount() - 1, m_proxy->columnCount() - 1),
                                  {Qt::DecorationRole, Qt::ToolTipRole});
}

int TDBGrid::currentRow() const
{
    const QModelIndex i = currentIndex();
    if (!m_query || m_query->recordCount() == 0)
        return -1;
    return i.isValid() && i.row() < m_query->recordCount() ? i.row() : 0;
}

void TDBGrid::selectRow0()
{
    if (m_query && m_query->recordCount() > 0)
        setCurrentIndex(m_proxy->index(0, 0));
}

QVariant TDBGrid::currentValue(const QString &field) const
{
    const int row = currentRow();
    return row < 0 ? QVariant() : m_query->value(row, field);
}

TMemo::TMemo(int maxLength, QWidget *parent) : QPlainTextEdit(parent), m_maxLength(maxLength)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = toPlainText();
        if (text.size() <= m_maxLength)
            return;
        // typed or pasted past the limit: keep the first maxLength characters
        QTextCursor c = textCursor();
        const int pos = qMin(c.position(), m_maxLength);
        QSignalBlocker block(this);
        setPlainText(text.left(m_maxLength));
        c = textCursor();
        c.setPosition(pos);
        setTextCursor(c);
    });
}

void TMemo::keyPressEvent(QKeyEvent *event)
{
    if (m_list && m_list->isVisible()) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            event->ignore();   // the list takes it
            return;
        default:
            break;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

bool storableIn(QWidget *box, const QString &table, const QString &column, const QString &text)
{
    const QString refused = unstorableCharacters(table, column, text);
    if (refused.isEmpty())
        return true;
    Platform::get().error(unstorableMessage(refused));
    box->setFocus(Qt::OtherFocusReason);
    return false;
}

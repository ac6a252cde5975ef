#include "widgets/Grid.h"

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
#include "data/DataOperations.h"
#include "data/NamedQuery.h"
#include "widgets/Fields.h"

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

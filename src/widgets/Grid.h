#pragma once
#include <QTableView>
#include <functional>

class NamedQuery;

// A title click sorts the grid's rows ascending by the clicked field (in memory).
void bindTitleClickSort(QTableView *grid, const std::function<NamedQuery *()> &sortedQuery);

// One shown column of a grid: the query's field, its title and the alignment of its cells.
struct GridColumn {
    QString field;
    QString title;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    int width = 0;   // pixels; 0: as wide as the contents
};

// A read-only grid over a query of the data module: whole-row selection, hand cursor, centred
// bold titles; fields not among the columns stay hidden.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);
    void bind(NamedQuery *query, const QList<GridColumn> &columns);
    NamedQuery *query() const { return m_query; }
    // The query's value in the selected row (or the first row when none is selected).
    QVariant currentValue(const QString &field) const;
    int currentRow() const;
    void selectRow0();
    // A mark (a small dot before the first column's text, with a hint) on the rows it holds for.
    void setRowMark(std::function<bool(int row)> marked, const QString &hint);
    void refreshMarks();   // the rows it holds for have changed

private:
    void applyColumns();
    NamedQuery *m_query = nullptr;
    QList<GridColumn> m_columns;
    class GridProxy *m_proxy = nullptr;
};

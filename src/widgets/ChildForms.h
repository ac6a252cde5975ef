#pragma once
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QBoxLayout>
#include <QComboBox>
#include <QDialog>
#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QPointer>
#include <QTableView>
#include <QWidget>
#include <functional>

class NamedQuery;
class QProgressBar;
class QLabel;
class QLineEdit;
class QTabWidget;

// Base of every child window inside the main window. Closing it closes the data module's
// queries it opened, clears the class's instance pointer and destroys the window.
class TChildForm : public QWidget {
    Q_OBJECT
public:
    // Closed by the user or the program: it only waits to be deleted, and shows nothing more.
    bool closed() const { return m_closed; }

    explicit TChildForm(const QString &title, QWidget *parent = nullptr);
    ~TChildForm() override;
    // Clears the class's instance pointer when the window closes (set by openChildWindow).
    std::function<void()> clearInstance;
    // Closes the window with its frame (the "Закрыть" buttons).
    void closeWindow();

protected:
    // The shared queries this window opens; FormClose closes them.
    void ownQueries(const QList<NamedQuery *> &queries) { m_queries = queries; }
    virtual void FormClose() {}
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_closed = false;
    QList<NamedQuery *> m_queries;
};

// Base of the modal dialogs: fixed frame, centred on the screen, created for one command.
class TDialogForm : public QDialog {
    Q_OBJECT
public:
    TDialogForm(const QString &title, int clientWidth, int clientHeight, QWidget *parent = nullptr);

    // The OK-kind button (default, accepts; "OK" unless told) and "Отмена" (rejects),
    // right-aligned in row.
    QPushButton *addOkCancel(QBoxLayout *row, const QString &okHint, const QString &cancelHint,
                             const QString &okCaption = QStringLiteral("OK"));
};

// A caption for a field: the label's buddy is the field, so that a screen reader names the field
// by it and an "&" mnemonic in it moves the focus there.
QLabel *captionFor(QWidget *field, const QString &text, QWidget *parent);
// A caption as read, without the "&" that marks its Alt letter ("&&" is a plain "&").
QString plainCaption(const QString &caption);

// A hint shows as the tooltip and, through the main window, in its hint panel; it is also the
// control's accessible description.
void setHint(QWidget *widget, const QString &hint);
// The tabs' hints (their tooltips) also go to the hint panel, as the hovered tab changes.
void hintTabs(QTabWidget *tabs);

// A password field: each typed character shows as "*", whatever the style's own mask is.
void showAsStars(QLineEdit *edit);

// A label for text that comes from the database or a participant: shown as it is, never as markup.
QLabel *plainLabel(const QString &text, QWidget *parent);
QPushButton *hintedButton(QWidget *parent, const QString &caption, const char *objectName, const QString &hint);

// Moves (and if need be shrinks) a child window so that it lies whole inside the area: its frame
// and buttons always reachable.
void placeInside(QMdiArea *area, QMdiSubWindow *sub);

// Opens a child window, or brings the open one to the front: one instance per class, so two
// windows never share the same query objects.
template <class Form>
Form *openChildWindow(QMdiArea *area, Form *&instance, const std::function<Form *()> &create)
{
    if (instance) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(instance->parentWidget())) {
            if (sub->isMinimized())
                sub->showNormal();
            area->setActiveSubWindow(sub);
        }
        return instance;
    }
    Form *form = create();
    instance = form;
    form->clearInstance = [&instance, form] {
        if (instance == form)
            instance = nullptr;
    };
    // also when the window goes with the main window, without being closed
    QObject::connect(form, &QObject::destroyed, [&instance, form] {
        if (instance == form)
            instance = nullptr;
    });
    const QSize designSize = form->size();
    // a window opened while another is maximised is maximised too, as in any MDI program
    const QMdiSubWindow *active = area->activeSubWindow();
    bool maximised = active && active->isMaximized();
    QMdiSubWindow *sub = area->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(form->windowTitle());
    sub->show();
    // the window's client area at its design size, the frame around it; on a screen too small
    // for that, all of the main window's area
    sub->resize(sub->size() - form->size() + designSize);
    const QSize room = area->viewport()->size();
    maximised = maximised || sub->width() > room.width() || sub->height() > room.height();
    if (maximised)
        sub->showMaximized();
    else
        placeInside(area, sub);
    return form;
}

// A lookup list over a query of the data module: one entry per row (so a key that appears in
// two rows is listed twice), refilled when the query opens and emptied when it closes. It tells
// once per change when the user chose another entry (popup, keyboard or wheel), after the entry
// is current, so that whatever re-reads sees exactly the entry shown. The wheel changes it only
// while it has the focus; otherwise the wheel scrolls what is around it.
class TLookupCombo : public QComboBox {
    Q_OBJECT
public:
    explicit TLookupCombo(QWidget *parent = nullptr);
    void bind(NamedQuery *query, const QString &shownField, const QString &keyField);
    int keyValue() const;                            // the chosen row's key; 0 with no row chosen
    QVariant rowValue(const QString &field) const;   // a field of the chosen row
    void selectKey(int key);                         // no row when the key is not listed
    void selectIndex(int index);                     // chosen by the program: no chosen()

signals:
    void chosen();

private:
    void refill();
    NamedQuery *m_query = nullptr;
    QString m_shown, m_key;
    bool m_changed = false;   // the current entry changed since chosen() was last told
};

// Combo boxes and spin boxes inside a scrolling area: the wheel changes their value only while
// they have the focus; otherwise it scrolls the area (a score must not change by scrolling).
void wheelOnlyWithFocus(QWidget *widget);

// Shows a stored value whole: an edit's length limit is for what is typed, and setText would
// otherwise cut a longer stored value (which a save would then store cut).
void setStoredText(QLineEdit *edit, const QString &text);

// When the column cannot store some characters of the text (the centre's table may be in a
// narrower character set): says which, puts the focus in the box and returns false.
bool storableIn(QWidget *box, const QString &table, const QString &column, const QString &text);

// Runs long work (a password check, a transfer) on a worker thread while the window keeps
// painting under a wait cursor and takes no input; what the work throws is thrown here.
void runOffThread(const std::function<void()> &work, const std::function<void()> &meanwhile = {});

// A bar of bytes transferred; shown in KiB so that large transfers stay within its range.
QProgressBar *byteProgressBar(QWidget *parent);
void showBytes(QProgressBar *bar, qint64 done, qint64 total);

// Shows a count on a bar at most ten times a second: QProgressBar paints on every setValue, and a
// batch of small files would otherwise spend its time painting. The last value always shows.
class PacedProgress : public QObject {
    Q_OBJECT
public:
    explicit PacedProgress(QProgressBar *bar, QObject *parent = nullptr);
    void set(int value);

private:
    void show();
    QPointer<QProgressBar> m_bar;
    QTimer *m_timer;
    QElapsedTimer m_since;
    int m_pending = 0;
};

// A caption and below it a lookup list (hand cursor, hint), added to layout.
TLookupCombo *addLookup(QWidget *parent, QBoxLayout *layout, const QString &caption, const char *objectName,
                        const QString &hint);

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

// A multi-line text box that takes at most maxLength characters, however they arrive.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(int maxLength, QWidget *parent = nullptr);
    int maxLength() const { return m_maxLength; }
    // A list (a completer's popup) shown over the box: while it is open, Enter, Esc and Tab are
    // the list's, not the text's.
    void setList(QWidget *popup) { m_list = popup; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_maxLength;
    QPointer<QWidget> m_list;
};

#pragma once
#include <QDialog>
#include <QBoxLayout>
#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QWidget>
#include <functional>

class NamedQuery;

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
    // A window where works are read (scoring, appeals): it opens at the size the expert gave it
    // last, else fills the area when its design size is less than two thirds of it.
    bool isWorkWindow() const { return m_workWindow; }
    QSize keptSize() const;   // invalid: none kept

protected:
    void setWorkWindow() { m_workWindow = true; }
    // The shared queries this window opens; FormClose closes them.
    void ownQueries(const QList<NamedQuery *> &queries) { m_queries = queries; }
    virtual void FormClose() {}
    void closeEvent(QCloseEvent *event) override;

private:
    QString sizeKey() const;
    bool m_closed = false;
    bool m_workWindow = false;
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
    const QSize room = area->viewport()->size();
    // Qt maximised it already (another window was): it fills the area whole, never at its design
    // size inside a maximised frame
    maximised = maximised || sub->isMaximized();
    if (!maximised) {
        // the window's client area at its design size, the frame around it; on a screen too small
        // for that, all of the main window's area
        sub->resize(sub->size() - form->size() + designSize);
        if (form->isWorkWindow()) {
            const QSize kept = form->keptSize();
            if (kept.isValid())
                sub->resize(kept.boundedTo(room));
            else if (designSize.width() * 3 < room.width() * 2 && designSize.height() * 3 < room.height() * 2)
                sub->resize(room);   // a large screen: the scan at a size it reads at
        }
    }
    maximised = maximised || sub->width() > room.width() || sub->height() > room.height();
    if (maximised)
        sub->showMaximized();
    else
        placeInside(area, sub);
    return form;
}

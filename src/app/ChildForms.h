#pragma once
#include <QBoxLayout>
#include <QComboBox>
#include <QDialog>
#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>
#include <functional>

class NamedQuery;
class QTableView;

// Base of every child window inside the main window. Closing it closes the data module's
// queries it opened, clears the class's instance pointer and destroys the window.
class TChildForm : public QWidget {
    Q_OBJECT
public:
    explicit TChildForm(const QString &title, QWidget *parent = nullptr);
    ~TChildForm() override;
    // Clears the class's instance pointer when the window closes (set by openChildWindow).
    std::function<void()> clearInstance;

protected:
    // The shared queries this window opens; FormClose closes them.
    void ownQueries(const QList<NamedQuery *> &queries) { m_queries = queries; }
    virtual void FormClose() {}
    void closeEvent(QCloseEvent *event) override;

private:
    QList<NamedQuery *> m_queries;
};

// Base of the modal dialogs: fixed frame, centred on the screen, created for one command.
class TDialogForm : public QDialog {
    Q_OBJECT
public:
    TDialogForm(const QString &title, int clientWidth, int clientHeight, QWidget *parent = nullptr);

protected:
    // The "OK" (default, accepts) and "Отмена" (rejects) buttons, right-aligned in row.
    void addOkCancel(QBoxLayout *row, const QString &okHint, const QString &cancelHint);
};

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
    QMdiSubWindow *sub = area->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(form->windowTitle());
    sub->show();
    return form;
}

// A lookup list that tells when it closes after a choice and when a key is released in it.
class TLookupCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void hidePopup() override;

signals:
    void closeUp();
    void keyUp();

protected:
    void keyReleaseEvent(QKeyEvent *event) override;
};

// A title click sorts the grid ascending by the clicked field, through the data module.
void bindTitleClickSort(QTableView *grid, const std::function<NamedQuery *()> &sortedQuery);

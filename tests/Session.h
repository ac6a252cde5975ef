#pragma once
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QTableView>
#include <QWheelEvent>
#include <QtTest>

#include "RecordingPlatform.h"

#include "app/UnitMainER.h"
#include "data/ADataER.h"
#include "data/Config.h"

// An expert's workstation as the tests drive it: the data module (outliving the windows, as in
// the program), the recording platform and the main window, with the expert logged in.
struct Session {
    TDataER data;
    RecordingPlatform platform;
    TFormMainER window;
    explicit Session(int user = 1) : Session(Config::get(), user) {}
    Session(const Config &config, int user) : data(config)
    {
        window.attachDataModule(&data);
        window.show();
        data.userID = user;
        window.enableMenu(true);
    }
};

// The workstation before anyone logs in: the recording platform, the main window and the data
// module attached to it (the login tests' starting point).
struct LoggedOut {
    RecordingPlatform platform;
    TFormMainER window;
    TDataER data;
    explicit LoggedOut(const Config &config = Config::get()) : data(config) { window.attachDataModule(&data); }
};

// A dark palette for the test's length, as a dark desktop theme gives it (the test sets it, no
// theme is needed): light text on dark windows and boxes, a light link colour.
class DarkPalette {
public:
    DarkPalette() : m_before(QApplication::palette())
    {
        QPalette dark = m_before;
        for (auto [role, colour] : {std::pair{QPalette::Window, QColor(32, 32, 32)}, {QPalette::WindowText, QColor(230, 230, 230)},
                                    {QPalette::Base, QColor(24, 24, 24)}, {QPalette::AlternateBase, QColor(48, 48, 56)},
                                    {QPalette::Text, QColor(235, 235, 235)}, {QPalette::Link, QColor(138, 180, 248)}})
            dark.setColor(role, colour);
        QApplication::setPalette(dark);
    }
    ~DarkPalette() { QApplication::setPalette(m_before); }
    DarkPalette(const DarkPalette &) = delete;
    DarkPalette &operator=(const DarkPalette &) = delete;

private:
    QPalette m_before;
};

// Chooses the entry with that text as the user would: open the list's popup and click the entry
// with the mouse. Qt's own order of events (the popup closing, then the entry becoming current)
// is what the window sees.
inline void choose(QComboBox *combo, const QString &text, int occurrence = 0)
{
    int index = -1;
    for (int i = 0; i < combo->count() && index < 0; ++i)
        if (combo->itemText(i) == text && occurrence-- == 0)
            index = i;
    QVERIFY2(index >= 0, qPrintable(text));
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex entry = view->model()->index(index, combo->modelColumn());
    view->scrollTo(entry);
    const QPoint at = view->visualRect(entry).center();
    // a release right after the popup opened is taken for the end of the opening click
    QTest::qWait(QApplication::doubleClickInterval() + 20);
    QTest::mouseMove(view->viewport(), at);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTRY_VERIFY(!view->isVisible());
    QCOMPARE(combo->currentIndex(), index);
}

// Chooses by keyboard inside the open popup: Down (or Up) `steps` times, then Enter.
inline void chooseByKeys(QComboBox *combo, int steps)
{
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_F4);   // opens the popup
    QAbstractItemView *view = combo->view();
    QTRY_VERIFY(view->isVisible());
    for (int i = 0; i < qAbs(steps); ++i)
        QTest::keyClick(view, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->isVisible());
}

// Types any text as key presses, letters beyond ASCII included (QTest::keyClicks takes ASCII only).
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// One notch of the mouse wheel over a widget (down: towards the end of a list or page).
inline void wheel(QWidget *widget, bool down = true)
{
    const QPoint at = widget->rect().center();
    QWheelEvent event(QPointF(at), QPointF(widget->mapToGlobal(at)), QPoint(), QPoint(0, down ? -120 : 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

// Clicks a grid's column title as the user would.
inline void clickTitle(QTableView *grid, int column)
{
    QHeaderView *header = grid->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2));
}

// Double-clicks a grid's row as the user would (or its empty area when the row is -1).
inline void doubleClickRow(QTableView *grid, int row)
{
    if (row >= 0)
        grid->scrollTo(grid->model()->index(row, 0));
    const QPoint at = row < 0 ? QPoint(grid->viewport()->width() / 2, grid->viewport()->height() - 5)
                              : grid->visualRect(grid->model()->index(row, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);   // the first click of the two
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
}

// Shows a window and makes it the active one, so that focus and keys reach it.
inline bool activate(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

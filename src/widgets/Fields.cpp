#include "widgets/Fields.h"

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
#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/Background.h"
#include "data/DataOperations.h"
#include "data/NamedQuery.h"

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

bool storableIn(QWidget *box, const QString &table, const QString &column, const QString &text)
{
    const QString refused = unstorableCharacters(table, column, text);
    if (refused.isEmpty())
        return true;
    Platform::get().error(unstorableMessage(refused));
    box->setFocus(Qt::OtherFocusReason);
    return false;
}

QString shownText(const QString &text, int maxChars, int maxLines)
{
    qsizetype end = qMin(text.size(), qsizetype(maxChars));
    int lines = 0;
    for (qsizetype i = 0; i < end; ++i)
        if (text.at(i) == u'\n' && ++lines >= maxLines)
            end = i;
    if (end == text.size())
        return text;
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;   // never half a character
    return text.left(end) + QStringLiteral("…");
}

void showWholeText(QWidget *parent, const QString &title, const QString &text)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.resize(640, 480);
    auto *layout = new QVBoxLayout(&dialog);
    auto *box = new QPlainTextEdit(&dialog);
    box->setReadOnly(true);
    box->setAccessibleName(title);
    box->setPlainText(text);
    layout->addWidget(box);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    Platform::get().execDialog(dialog);
}

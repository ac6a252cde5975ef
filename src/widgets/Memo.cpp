#include "widgets/Memo.h"

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

TMemo::TMemo(int maxLength, QWidget *parent) : QPlainTextEdit(parent), m_maxLength(maxLength)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = toPlainText();
        const int limit = qMax(m_maxLength, m_storedLength);
        if (text.size() <= limit)
            return;
        // typed or pasted past the limit: keep the first characters the box takes
        QTextCursor c = textCursor();
        const int pos = qMin(c.position(), limit);
        QSignalBlocker block(this);
        setPlainText(text.left(limit));
        c = textCursor();
        c.setPosition(pos);
        setTextCursor(c);
    });
}

void TMemo::setStoredText(const QString &text)
{
    m_storedLength = int(text.size());
    setPlainText(text);
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

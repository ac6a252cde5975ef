#include "widgets/Progress.h"

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

void PacedProgress::stop()
{
    m_timer->stop();
}

void PacedProgress::show()
{
    m_timer->stop();
    m_since.start();
    if (m_bar)
        m_bar->setValue(m_pending);
}

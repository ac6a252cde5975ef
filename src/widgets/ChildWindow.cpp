#include "widgets/ChildWindow.h"

#include <QSettings>

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

QString TChildForm::sizeKey() const
{
    return QStringLiteral("windows/%1/size").arg(QString::fromLatin1(metaObject()->className()));
}

QSize TChildForm::keptSize() const
{
    return QSettings().value(sizeKey()).toSize();
}

void TChildForm::closeEvent(QCloseEvent *event)
{
    // the size the expert gave a work window, for the next time it opens
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()); m_workWindow && sub && !sub->isMaximized() && !sub->isMinimized())
        QSettings().setValue(sizeKey(), sub->size());
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

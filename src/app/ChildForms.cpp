#include "app/ChildForms.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QTableView>

#include "app/Platform.h"
#include "data/ADataER.h"
#include "data/NamedQuery.h"

TChildForm::TChildForm(const QString &title, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
}

TChildForm::~TChildForm() = default;

void TChildForm::closeEvent(QCloseEvent *event)
{
    runCommand([this] {
        FormClose();
        for (NamedQuery *q : std::as_const(m_queries))
            q->close();
    });
    if (clearInstance)
        clearInstance();
    event->accept();
}

TDialogForm::TDialogForm(const QString &title, int clientWidth, int clientHeight, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(clientWidth, clientHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        move(r.center() - QPoint(clientWidth / 2, clientHeight / 2));
    }
}

void TDialogForm::addOkCancel(QBoxLayout *row, const QString &okHint, const QString &cancelHint)
{
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    ok->setToolTip(okHint);
    ok->setStatusTip(okHint);
    auto *cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    cancel->setToolTip(cancelHint);
    cancel->setStatusTip(cancelHint);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
}

void TLookupCombo::hidePopup()
{
    QComboBox::hidePopup();
    emit closeUp();
}

void TLookupCombo::keyReleaseEvent(QKeyEvent *event)
{
    QComboBox::keyReleaseEvent(event);
    emit keyUp();
}

void bindTitleClickSort(QTableView *grid, const std::function<NamedQuery *()> &sortedQuery)
{
    QObject::connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, grid, [grid, sortedQuery](int column) {
        runCommand([&] {
            NamedQuery *q = sortedQuery();
            const QString field = q->model()->fieldName(column);
            if (!field.isEmpty())
                DataER->SortSQL(q, field);
        });
    });
}

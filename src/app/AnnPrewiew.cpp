#include "app/AnnPrewiew.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "widgets/RtfReader.h"
#include "data/ADataER.h"
#include "data/SessionData.h"
#include "widgets/Fields.h"

TFormAnnPrewiew *FormAnnPrewiew = nullptr;

QColor colorFromCanvas(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

TFormAnnPrewiew::TFormAnnPrewiew(QWidget *parent)
    : TDialogForm(QStringLiteral("Объявлениe в АИС"), 695, 422, parent)
{
    FormAnnPrewiew = this;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setAccessibleName(QStringLiteral("Объявление"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(16);
    RichEdit1->document()->setDefaultFont(f);
    layout->addWidget(RichEdit1, 1);

    auto *panel = new QWidget(this);
    panel->setFixedHeight(41);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 4, 8, 4);
    auto *ok = new QPushButton(QStringLiteral("OK"), panel);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    ok->setCursor(Qt::PointingHandCursor);
    setHint(ok, QStringLiteral("Закрыть объявление"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    row->addStretch();
    row->addWidget(ok);
    row->addStretch();
    layout->addWidget(panel);
}

TFormAnnPrewiew::~TFormAnnPrewiew()
{
    if (FormAnnPrewiew == this)
        FormAnnPrewiew = nullptr;
}

void TFormAnnPrewiew::showEvent(QShowEvent *event)
{
    TDialogForm::showEvent(event);
    if (!m_filled) {
        m_filled = true;
        runCommand([this] { FormShow(); });
    }
}

void TFormAnnPrewiew::FormShow()
{
    const SessionData::Announcement a = SessionData::latestAnnouncement();
    fill(a.body, a.canvas);
}

void TFormAnnPrewiew::fill(const QString &body, int canvas)
{
    m_filled = true;
    QPalette pal = RichEdit1->palette();
    pal.setColor(QPalette::Base, colorFromCanvas(canvas));
    RichEdit1->setPalette(pal);
    // The text is read as stored: RTF escapes decode as such, and letters typed straight into
    // the column stay themselves.
    Rtf::load(*RichEdit1->document(), body);
}

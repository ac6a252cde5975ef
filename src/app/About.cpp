#include "app/About.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/Pictures.h"
#include "widgets/Platform.h"
#include "data/Config.h"
#include "widgets/Fields.h"

TAboutBox *AboutBox = nullptr;

namespace {

// A label that tells when it is clicked, for the line that opens the centre's site.
class ClickableLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent *) override
    {
        if (onClick)
            runCommand(onClick);
    }
};

QLabel *line(QWidget *parent, const QString &text, const QColor &color, bool bold)
{
    auto *l = new QLabel(text, parent);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(13);
    f.setBold(bold);
    l->setFont(f);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignCenter);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

} // namespace

TAboutBox::~TAboutBox()
{
    if (AboutBox == this)
        AboutBox = nullptr;
}

TAboutBox::TAboutBox(QWidget *parent) : TDialogForm(QStringLiteral("О программе"), 587, 304, parent)
{
    AboutBox = this;
    auto *outer = new QVBoxLayout(this);
    auto *panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    auto *grid = new QGridLayout(panel);

    auto *emblem = new QLabel(panel);
    emblem->setPixmap(Pictures::emblem());
    emblem->setFixedSize(89, 89);
    grid->addWidget(emblem, 0, 0, 2, 1, Qt::AlignTop | Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("Версия 3.0"), panel), 2, 0, Qt::AlignTop | Qt::AlignLeft);

    grid->addWidget(line(panel, QStringLiteral("Экспертная оценка результатов образовательных мероприятий региона"),
                         Qt::blue, true), 0, 1);
    grid->addWidget(line(panel, QStringLiteral("Автоматизированное рабочее место эксперта регионального этапа конкурса"),
                         Qt::blue, true), 1, 1);
    auto *legal = new ClickableLabel(
        QStringLiteral("Автономная некоммерческая организация дополнительного профессионального образования "
                       "«Образовательный центр \"Ветлан\"»"), panel);
    legal->setObjectName(QStringLiteral("Label3"));
    {
        QFont f(QStringLiteral("Tahoma"));
        f.setPixelSize(13);
        f.setBold(true);
        legal->setFont(f);
        legal->setWordWrap(true);
        legal->setAlignment(Qt::AlignCenter);
    }
    legal->setCursor(Qt::PointingHandCursor);
    const QString siteHint = QStringLiteral("Открыть сайт \"Ветлан\" в браузере по умолчанию");
    setHint(legal, siteHint);
    legal->onClick = [] { Platform::get().openUrl(Config::get().siteUrl); };   // Label3Click
    grid->addWidget(legal, 2, 1);
    grid->addWidget(line(panel, QStringLiteral("г. Вишнёвск, 2023"), Qt::black, false), 3, 1);
    grid->setColumnStretch(1, 1);
    outer->addWidget(panel);

    auto *close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("OKButton"));
    close->setDefault(true);
    close->setCursor(Qt::PointingHandCursor);
    // The O inside the quotation marks is the Latin capital letter, as the centre wrote it.
    const QString closeHint = QStringLiteral("Закрыть окно \"O программе\"");
    setHint(close, closeHint);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    outer->addWidget(close, 0, Qt::AlignHCenter);
}

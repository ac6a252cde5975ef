#include "profile/UnitSubjectExp.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/SessionData.h"
#include "data/DataOperations.h"
#include "data/VardexError.h"
#include "widgets/Fields.h"

TFormSubjectExp *FormSubjectExp = nullptr;

TFormSubjectExp::TFormSubjectExp(QWidget *parent)
    : TChildForm(QStringLiteral("Выбор предметной области, в которой Вы являетесь экспертом"), parent)
{
    resize(635, 652);
    auto *layout = new QVBoxLayout(this);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Предметные области:"), this));
    top->addStretch();
    auto glyphButton = [this, top](const char *name, const QString &glyph, const QString &hint, bool state) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(glyph);
        b->setCursor(Qt::PointingHandCursor);
        setHint(b, hint);
        connect(b, &QToolButton::clicked, this, [this, state] { selectCheck(state); });
        top->addWidget(b);
        return b;
    };
    SpeedButton7 = glyphButton("SpeedButton7", QStringLiteral("☑"), QStringLiteral("Выделить все"), true);
    SpeedButton8 = glyphButton("SpeedButton8", QStringLiteral("☐"), QStringLiteral("Снять выделение"), false);
    layout->addLayout(top);

    ScrollBox3 = new QScrollArea(this);
    ScrollBox3->setObjectName(QStringLiteral("ScrollBox3"));
    ScrollBox3->setAccessibleName(QStringLiteral("Предметные области"));
    ScrollBox3->setWidgetResizable(true);
    m_list = new QWidget(ScrollBox3);
    auto *boxes = new QVBoxLayout(m_list);
    boxes->addStretch();   // the boxes stack from the top
    ScrollBox3->setWidget(m_list);
    layout->addWidget(ScrollBox3, 1);

    auto *bottom = new QHBoxLayout;
    auto *close = hintedButton(this, QStringLiteral("&Закрыть"), "BitBtn1", QStringLiteral("Закрыть окно"));
    connect(close, &QPushButton::clicked, this, &TChildForm::closeWindow);
    BitBtn2 = hintedButton(this, QStringLiteral("Сохранить"), "BitBtn2", QStringLiteral("Сохранить внесенные изменения"));
    connect(BitBtn2, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn2Click(); }); });
    bottom->addWidget(close);
    bottom->addWidget(BitBtn2);
    bottom->addStretch();
    layout->addLayout(bottom);

    // FormCreate
    CreateCheckSubj();
    CheckSubjExp();
}

QList<QCheckBox *> TFormSubjectExp::checkBoxes() const
{
    QList<QCheckBox *> boxes;
    for (const auto &[box, id] : m_boxes)
        boxes << box;
    return boxes;
}

void TFormSubjectExp::removeCheck()
{
    for (const auto &[box, id] : m_boxes)
        delete box;
    m_boxes.clear();
}

void TFormSubjectExp::CreateCheckSubj()
{
    removeCheck();
    auto *layout = static_cast<QVBoxLayout *>(m_list->layout());
    for (const auto &[id, name] : SessionData::subjectAreas()) {
        auto *box = new QCheckBox(name, m_list);
        box->setObjectName(QStringLiteral("checkSorev_") + QString::number(id));
        m_boxes.append({box, id});
        box->setCursor(Qt::PointingHandCursor);
        setHint(box, QStringLiteral("Выбрать предметную область: ") + name);
        layout->insertWidget(layout->count() - 1, box);
    }
}

void TFormSubjectExp::CheckSubjExp()
{
    const QList<int> chosen = subjectAreas(DataER->userID);
    for (const auto &[box, id] : m_boxes)
        if (chosen.contains(id))
            box->setChecked(true);
}

void TFormSubjectExp::selectCheck(bool state)
{
    for (QCheckBox *box : checkBoxes())
        box->setChecked(state);
}

bool TFormSubjectExp::choiceCheck() const
{
    for (QCheckBox *box : checkBoxes())
        if (box->isChecked())
            return true;
    return false;
}

QList<int> TFormSubjectExp::chosenIds() const
{
    QList<int> ids;
    for (const auto &[box, id] : m_boxes)
        if (box->isChecked())
            ids << id;
    return ids;
}

void TFormSubjectExp::BitBtn2Click()
{
    // The ticks are the choice of the expert who opened the window: nobody else's to save.
    if (DataER->userID <= 0) {
        Platform::get().error(QStringLiteral("Пользователь не авторизован. Выполните вход и откройте окно заново."));
        return;
    }
    if (DataER->userID != m_expert) {
        Platform::get().error(QStringLiteral("Окно открыто другим пользователем. Откройте его заново."));
        return;
    }
    if (!choiceCheck()) {
        Platform::get().information(QStringLiteral("Не выбрана предметная область"));
        return;
    }
    try {
        saveSubjectAreas(DataER->userID, chosenIds());
    } catch (const std::exception &e) {
        Platform::get().error(withReason(QStringLiteral("При сохранении возникла ошибка"), e), QString::fromUtf8(e.what()));
        return;
    }
    Platform::get().information(QStringLiteral("Данные сохранены"));
}

#include "security/UnitNetSelect.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"

TFormNetSelect *FormNetSelect = nullptr;

TFormNetSelect::TFormNetSelect(QWidget *parent) : TDialogForm(QStringLiteral("Выбор сети"), 464, 123, parent)
{
    FormNetSelect = this;
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Сеть:"), this);
    group->setObjectName(QStringLiteral("RadioGroup1"));
    auto *columns = new QHBoxLayout(group);
    m_items[0] = new QRadioButton(QStringLiteral("Интернет"), group);
    m_items[1] = new QRadioButton(QStringLiteral("Интрасеть \"Ветлан\""), group);
    columns->addWidget(m_items[0]);
    columns->addWidget(m_items[1]);
    m_items[0]->setChecked(true);
    layout->addWidget(group);

    auto *buttons = new QHBoxLayout;
    addOkCancel(buttons, QStringLiteral("Назначить сеть для работы"), QStringLiteral("Отмена назначения и закрытие окна"));
    layout->addLayout(buttons);
}

TFormNetSelect::~TFormNetSelect()
{
    if (FormNetSelect == this)
        FormNetSelect = nullptr;
}

int TFormNetSelect::itemIndex() const { return m_items[1]->isChecked() ? 1 : 0; }

void TFormNetSelect::setItemIndex(int index) { m_items[index == 1 ? 1 : 0]->setChecked(true); }

void chooseNetwork(QWidget *parent, const std::function<void()> &beforeChange, int proposed)
{
    TFormNetSelect dialog(parent);
    if (proposed >= 0)
        dialog.setItemIndex(proposed);
    if (Platform::get().execDialog(dialog) != QDialog::Accepted)
        return;
    if (beforeChange)
        beforeChange();
    if (!DataER->changeNET(dialog.itemIndex()))
        Platform::get().error(QStringLiteral("Ошибка подключения к сети"));
}

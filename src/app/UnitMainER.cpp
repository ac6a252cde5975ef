#include "app/UnitMainER.h"

#include <QMdiArea>

#include "data/ADataER.h"

TFormMainER *FormMainER = nullptr;

TFormMainER::TFormMainER(QWidget *parent) : QMainWindow(parent), m_mdi(new QMdiArea(this))
{
    FormMainER = this;
    setWindowTitle(QStringLiteral("Образовательный центр \"Ветлан\".  Автоматизированное рабочее место эксперта регионального этапа"));
    setCentralWidget(m_mdi);
}

TFormMainER::~TFormMainER()
{
    if (FormMainER == this)
        FormMainER = nullptr;
}

void TFormMainER::attachDataModule(TDataER *) {}

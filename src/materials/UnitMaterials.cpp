#include "materials/UnitMaterials.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/MaterialsData.h"
#include "data/FileNames.h"
#include "widgets/Fields.h"

TFormMethod *FormMethod = nullptr;
TFormMeasuring *FormMeasuring = nullptr;

namespace {

// "&Закрыть" and "Просмотр" at the bottom left.
QPushButton *bottomButtons(TChildForm *form, QVBoxLayout *layout, const QString &closeHint)
{
    auto *row = new QHBoxLayout;
    auto *close = hintedButton(form, QStringLiteral("&Закрыть"), "BitBtn1", closeHint);
    QObject::connect(close, &QPushButton::clicked, form, &TChildForm::closeWindow);
    auto *view = hintedButton(form, QStringLiteral("Просмотр"), "BitBtn4", QStringLiteral("Загрузить на локальный компьютер выбранный документ"));
    row->addWidget(close);
    row->addWidget(view);
    row->addStretch();
    layout->addLayout(row);
    return view;
}

} // namespace

TFormMethod::TFormMethod(QWidget *parent)
    : TChildForm(QStringLiteral("Просмотр и скачивание методических, контрольно-измерительных материалов"), parent)
{
    resize(1047, 299);
    auto *layout = new QVBoxLayout(this);
    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Методические материалы"));
    NamedQuery *q = MaterialsData::methodMaterials();
    DBGrid1->bind(q, {{QStringLiteral("name"), QStringLiteral("Уч. год"), Qt::AlignCenter, 80},
                      {QStringLiteral("nameEdu"), QStringLiteral("Олимпиада"), Qt::AlignLeft | Qt::AlignVCenter, 300},
                      {QStringLiteral("comment"), QStringLiteral("Коментарий"), Qt::AlignLeft | Qt::AlignVCenter, 300},
                      {QStringLiteral("bodyFile"), QStringLiteral("Файл"), Qt::AlignLeft | Qt::AlignVCenter, 200}});
    bindTitleClickSort(DBGrid1, [q] { return q; });
    layout->addWidget(DBGrid1, 1);
    BitBtn4 = bottomButtons(this, layout, QStringLiteral("Завершить режим просмотра и загрузки методических материалов"));
    connect(BitBtn4, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn4Click(); }); });
    connect(DBGrid1, &QTableView::doubleClicked, this, [this] { runCommand([this] { BitBtn4Click(); }); });
    ownQueries({q});
    MaterialsData::readMethodMaterials();
    BitBtn4->setEnabled(q->recordCount() > 0);   // decided once; sorting keeps the rows
}

void TFormMethod::BitBtn4Click()
{
    if (DBGrid1->currentRow() < 0)
        return;
    Platform::get().openUrl(documentAddress(QStringLiteral("MethodologyMaterials"),
                                            DBGrid1->currentValue(QStringLiteral("bodyFile")).toString()));
}

TFormMeasuring::TFormMeasuring(QWidget *parent)
    : TChildForm(QStringLiteral("Доступные контрольно-измерительные материалы"), parent)
{
    resize(839, 408);
    auto *layout = new QVBoxLayout(this);
    DBLookupComboBox1 = addLookup(
        this, layout, QStringLiteral("Образовательное мероприятие:"), "DBLookupComboBox1",
        QStringLiteral("Выбор общеобразовательного мероприятия для которого загружаются и отображаются метод. материалы"));
    NamedQuery *disciplines = MaterialsData::measuringDisciplines();
    DBLookupComboBox1->bind(disciplines, QStringLiteral("nameEdu"), QStringLiteral("id"));
    connect(DBLookupComboBox1, &TLookupCombo::chosen, this, [this] { runCommand([this] { readData(); }); });
    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Контрольно-измерительные материалы"));
    NamedQuery *materials = MaterialsData::measuringMaterials();
    DBGrid1->bind(materials, {{QStringLiteral("comment"), QStringLiteral("Коментарий"), Qt::AlignLeft | Qt::AlignVCenter, 600},
                              {QStringLiteral("bodyFile"), QStringLiteral("Файл"), Qt::AlignLeft | Qt::AlignVCenter, 200}});
    DBGrid1->horizontalHeader()->setSectionsClickable(false);
    layout->addWidget(DBGrid1, 1);
    BitBtn4 = bottomButtons(this, layout, QStringLiteral("Завершить режим загрузки методических материалов"));
    connect(BitBtn4, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn4Click(); }); });
    connect(DBGrid1, &QTableView::doubleClicked, this, [this] {
        if (BitBtn4->isEnabled())
            runCommand([this] { BitBtn4Click(); });
    });
    ownQueries({materials, disciplines});
    MaterialsData::readMeasuringDisciplines(DataER->userID);
    readData();
}

void TFormMeasuring::readData()
{
    NamedQuery *q = MaterialsData::readMeasuringMaterials(DBLookupComboBox1->keyValue());
    BitBtn4->setEnabled(q->recordCount() > 0);
}

void TFormMeasuring::BitBtn4Click()
{
    if (DBGrid1->currentRow() < 0)
        return;
    Platform::get().openUrl(documentAddress(QStringLiteral("measuringMaterials"),
                                            DBGrid1->currentValue(QStringLiteral("bodyFile")).toString()));
}

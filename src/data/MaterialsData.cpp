#include "data/MaterialsData.h"

#include "data/ADataER.h"
#include "data/NamedQuery.h"

namespace {
NamedQuery *reread(NamedQuery *q, const char *param = nullptr, int value = 0)
{
    q->close();
    if (param)
        q->setParam(QString::fromLatin1(param), value);
    q->open();
    return q;
}
} // namespace

namespace MaterialsData {
NamedQuery *methodMaterials() { return DataER->query(QStringLiteral("GETmethod")); }
NamedQuery *readMethodMaterials() { return reread(methodMaterials()); }
NamedQuery *measuringDisciplines() { return DataER->query(QStringLiteral("GETeduExp")); }
void readMeasuringDisciplines(int expert) { reread(measuringDisciplines(), "userID", expert); }
NamedQuery *measuringMaterials() { return DataER->query(QStringLiteral("GETmeasuring")); }
NamedQuery *readMeasuringMaterials(int discipline) { return reread(measuringMaterials(), "eduID", discipline); }
} // namespace MaterialsData

namespace DownloadData {
NamedQuery *disciplines() { return DataER->query(QStringLiteral("EDUworkLoadOriginal")); }
void readDisciplines(int expert) { reread(disciplines(), "userID", expert); }
NamedQuery *works() { return DataER->query(QStringLiteral("GETloadWork")); }
NamedQuery *readWorks(int discipline) { return reread(works(), "eduID", discipline); }
} // namespace DownloadData

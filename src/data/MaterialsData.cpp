#include "data/MaterialsData.h"

#include "data/ADataER.h"
#include "data/NamedQuery.h"

namespace MaterialsData {
NamedQuery *methodMaterials() { return DataER->query(QStringLiteral("GETmethod")); }
NamedQuery *readMethodMaterials() { return methodMaterials()->reopen(); }
NamedQuery *measuringDisciplines() { return DataER->query(QStringLiteral("GETeduExp")); }
void readMeasuringDisciplines(int expert) { measuringDisciplines()->reopen({{QStringLiteral("userID"), expert}}); }
NamedQuery *measuringMaterials() { return DataER->query(QStringLiteral("GETmeasuring")); }
NamedQuery *readMeasuringMaterials(int discipline) { return measuringMaterials()->reopen({{QStringLiteral("eduID"), discipline}}); }
} // namespace MaterialsData

namespace DownloadData {
NamedQuery *disciplines() { return DataER->query(QStringLiteral("EDUworkLoadOriginal")); }
void readDisciplines(int expert) { disciplines()->reopen({{QStringLiteral("userID"), expert}}); }
NamedQuery *works() { return DataER->query(QStringLiteral("GETloadWork")); }
NamedQuery *readWorks(int discipline) { return works()->reopen({{QStringLiteral("eduID"), discipline}}); }
} // namespace DownloadData

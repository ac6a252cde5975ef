#include "data/UploadData.h"

#include "data/ADataER.h"
#include "data/NamedQuery.h"

namespace UploadData {

NamedQuery *disciplines()
{
    return DataER->query(QStringLiteral("EDUUploadWork"));
}

void readDisciplines(int expert)
{
    disciplines()->reopen({{QStringLiteral("userID"), expert}});
}

QList<QPair<int, QString>> areas()
{
    NamedQuery *q = DataER->query(QStringLiteral("AreaUploadWork"))->reopen();
    const QList<QPair<int, QString>> out = q->idNames();
    q->close();
    return out;
}

NamedQuery *readUploads(int discipline, int area)
{
    NamedQuery *ofArea = DataER->query(QStringLiteral("GETuploadCheckWorkA"));
    NamedQuery *all = DataER->query(QStringLiteral("GETuploadCheckWork0"));
    // only one of the two is open at a time: the grid shows the other no more
    if (area > 0) {
        all->close();
        return ofArea->reopen({{QStringLiteral("educationlListID"), discipline}, {QStringLiteral("areaID"), area}});
    }
    ofArea->close();
    return all->reopen({{QStringLiteral("educationlListID"), discipline}});
}

QList<NamedQuery *> queries()
{
    return {DataER->query(QStringLiteral("GETuploadCheckWorkA")), DataER->query(QStringLiteral("GETuploadCheckWork0")),
            DataER->query(QStringLiteral("AreaUploadWork")), disciplines()};
}

} // namespace UploadData

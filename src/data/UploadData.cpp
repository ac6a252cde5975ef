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
    NamedQuery *q = disciplines();
    q->close();
    q->setParam(QStringLiteral("userID"), expert);
    q->open();
}

QList<QPair<int, QString>> areas()
{
    NamedQuery *q = DataER->query(QStringLiteral("AreaUploadWork"));
    q->close();
    q->open();
    QList<QPair<int, QString>> out;
    for (q->first(); !q->eof(); q->next())
        out.append({q->field(QStringLiteral("id")).toInt(), q->field(QStringLiteral("name")).toString()});
    q->close();
    return out;
}

NamedQuery *readUploads(int discipline, int area)
{
    NamedQuery *ofArea = DataER->query(QStringLiteral("GETuploadCheckWorkA"));
    NamedQuery *all = DataER->query(QStringLiteral("GETuploadCheckWork0"));
    ofArea->close();
    all->close();
    NamedQuery *q = area > 0 ? ofArea : all;
    q->setParam(QStringLiteral("educationlListID"), discipline);
    if (area > 0)
        q->setParam(QStringLiteral("areaID"), area);
    q->open();
    return q;
}

QList<NamedQuery *> queries()
{
    return {DataER->query(QStringLiteral("GETuploadCheckWorkA")), DataER->query(QStringLiteral("GETuploadCheckWork0")),
            DataER->query(QStringLiteral("AreaUploadWork")), disciplines()};
}

} // namespace UploadData

#include "data/UploadData.h"

#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/FileServer.h"
#include "data/NamedQuery.h"

#include <QFileInfo>

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

bool isParticipantNumber(const QString &text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number > 0;
}

QString send(int area, int participant, int discipline, const QString &path,
             const std::function<void(qint64, qint64)> &progress)
{
    return uploadCheckedWork(area, participant, discipline, [&](const QString &name) {
        try {
            // the content type the file server's scripts have always been sent
            FileServer::post(QStringLiteral("hostUploadCheckWork.php"),
                             {{QStringLiteral("attach"), {}, path, QFileInfo(path).fileName(),
                               QStringLiteral("application/x-rar-compressed")},
                              {QStringLiteral("newNameFile"), name, {}, {}, {}}},
                             progress);
        } catch (const FileServer::Failure &f) {
            if (f.nameTaken())
                return false;
            throw FileServer::Failure(f.status(), f.reason(), name);
        }
        return true;
    },
    [](const QString &name) {
        FileServer::post(QStringLiteral("deleteCheckWork.php"), {{QStringLiteral("nameDeleteFile"), name, {}, {}, {}}});
    });
}

void remove(int id, const QString &storedName)
{
    deleteCheckedWork(id, storedName, [&storedName] {
        try {
            FileServer::post(QStringLiteral("deleteCheckWork.php"), {{QStringLiteral("nameDeleteFile"), storedName, {}, {}, {}}});
        } catch (const FileServer::Failure &f) {
            throw VardexError(QStringLiteral("Не удалось удалить файл ") + storedName + QStringLiteral(" на сервере: ") + f.message());
        }
    });
}

QList<NamedQuery *> queries()
{
    return {DataER->query(QStringLiteral("GETuploadCheckWorkA")), DataER->query(QStringLiteral("GETuploadCheckWork0")),
            DataER->query(QStringLiteral("AreaUploadWork")), disciplines()};
}

} // namespace UploadData

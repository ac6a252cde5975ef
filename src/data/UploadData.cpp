#include "data/UploadData.h"

#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/FileNames.h"
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

// Whether the server holds the file at the address (of that size, when size > 0). A server that
// does not let checked works be read back (401, 403) cannot be asked: the post's answer stands.
bool isStored(const QString &address, qint64 size)
{
    try {
        const qint64 stored = FileServer::storedSize(address, qMax<qint64>(size, 0));
        return size > 0 ? stored == size : stored >= 0;
    } catch (const FileServer::Failure &f) {
        if (f.status() == 401 || f.status() == 403)
            return size > 0;
        throw;
    }
}

bool isParticipantNumber(const QString &text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number > 0;
}

QString send(int area, int participant, int discipline, const QString &path,
             const std::function<void(qint64, qint64)> &progress, const QString &fileName, const NamesWait &waiting)
{
    const QString sentAs = fileName.isEmpty() ? QFileInfo(path).fileName() : fileName;
    const qint64 size = QFileInfo(path).size();
    const auto unpost = [](const QString &name) {
        FileServer::post(QStringLiteral("deleteCheckWork.php"), {{QStringLiteral("nameDeleteFile"), name, {}, {}, {}}});
    };
    return uploadCheckedWork(area, participant, discipline, [&](const QString &name) {
        const QString address = documentAddress(QStringLiteral("testedwork"), name);
        // a name the server already holds (a file no row names) is passed by before anything is sent
        if (isStored(address, 0))
            return false;
        try {
            // the content type the file server's scripts have always been sent
            FileServer::post(QStringLiteral("hostUploadCheckWork.php"),
                             {{QStringLiteral("attach"), {}, path, sentAs,
                               QStringLiteral("application/x-rar-compressed")},
                              {QStringLiteral("newNameFile"), name, {}, {}, {}}},
                             progress);
        } catch (const FileServer::Failure &f) {
            if (f.nameTaken())
                return false;
            throw FileServer::Failure(f.status(), f.reason(), name);
        }
        // A server may answer 200 and keep nothing: the row is kept only for a file that is there, whole.
        if (!isStored(address, size)) {
            try {
                unpost(name);   // whatever part of it the server kept
            } catch (...) {
            }
            throw VardexError(QStringLiteral("Файловый сервер ответил, что принял файл %1, но не сохранил его. "
                                             "Загрузите файл снова; если ошибка повторится, сообщите администратору.")
                                  .arg(name));
        }
        return true;
    },
    unpost, waiting);
}

void remove(int id, const QString &storedName)
{
    deleteCheckedWork(id, storedName, [&storedName] {
        try {
            FileServer::post(QStringLiteral("deleteCheckWork.php"), {{QStringLiteral("nameDeleteFile"), storedName, {}, {}, {}}});
        } catch (const FileServer::Failure &f) {
            // "no such file": gone already (a deletion whose row was kept when its commit failed),
            // when the file is not to be found at its address either; the row then goes too
            if (f.status() == 404 && !isStored(documentAddress(QStringLiteral("testedwork"), storedName), 0))
                return;
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

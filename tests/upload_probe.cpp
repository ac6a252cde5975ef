// One workstation's upload of a checked work, as a process of its own: the tests start several
// at once to see that two workstations never post one stored name.
//   upload_probe DISCIPLINE PARTICIPANT AREA FILE   prints the stored name, or "failed: reason"
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/FileServer.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return 2;
    TDataER data;
    if (data.creationError())
        return 3;
    const QString path = args[4];
    QTextStream out(stdout);
    try {
        out << uploadCheckedWork(args[3].toInt(), args[2].toInt(), args[1].toInt(), [&path](const QString &name) {
            const QString error = FileServer::post(QStringLiteral("hostUploadCheckWork.php"),
                                                   {{QStringLiteral("attach"), {}, path, QFileInfo(path).fileName(),
                                                     QStringLiteral("application/pdf")},
                                                    {QStringLiteral("newNameFile"), name, {}, {}, {}}});
            if (error.startsWith(QLatin1String("HTTP 409")))
                return false;
            if (!error.isEmpty())
                throw VardexError(error);
            return true;
        }) << Qt::endl;
    } catch (const std::exception &e) {
        out << "failed: " << e.what() << Qt::endl;
        return 1;
    }
    return 0;
}

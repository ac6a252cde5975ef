// One workstation's upload of a checked work, as a process of its own: the tests start several
// at once to see that two workstations never post one stored name.
//   upload_probe DISCIPLINE PARTICIPANT AREA FILE   prints the stored name, or "failed: reason"
#include <QCoreApplication>
#include <QTextStream>

#include "data/ADataER.h"
#include "data/UploadData.h"

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
        out << UploadData::send(args[3].toInt(), args[2].toInt(), args[1].toInt(), path) << Qt::endl;
    } catch (const std::exception &e) {
        out << "failed: " << e.what() << Qt::endl;
        return 1;
    }
    return 0;
}

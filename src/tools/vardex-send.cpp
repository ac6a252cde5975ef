// vardex-send: sends one queued checked copy as the participant's checked work, in a process of
// its own so that the window never waits on the database's lock or the file server.
//
//   vardex-send [--net N] ENTRY.json
//
// ENTRY.json names the work, the expert, the discipline and the participant; the copy is the
// .pdf beside it. Prints "sent STORED-NAME" and removes both once the copy is stored, or
// "failed: REASON" and leaves them for another try. Only one sender works on an entry at a time.
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <sys/file.h>

#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/UploadData.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int net = 0;
    if (args.size() == 3 && args[0] == QLatin1String("--net")) {
        net = args[1].toInt();
        args = args.mid(2);
    }
    QTextStream out(stdout);
    if (args.size() != 1 || net < 0 || net > 1) {
        out << "failed: usage: vardex-send [--net 0|1] ENTRY.json" << Qt::endl;
        return 2;
    }
    const QString entryPath = args[0];
    QFile entry(entryPath);
    if (!entry.open(QIODevice::ReadOnly))
        return 0;   // sent meanwhile by another sender
    if (flock(entry.handle(), LOCK_EX | LOCK_NB) != 0) {
        out << "failed: another sender has it" << Qt::endl;
        return 3;
    }
    if (!QFile::exists(entryPath))   // the sender before this one stored it and let go
        return 0;
    const QJsonObject o = QJsonDocument::fromJson(entry.read(64 * 1024)).object();
    const int discipline = o.value(QStringLiteral("discipline")).toInt(), participant = o.value(QStringLiteral("participant")).toInt();
    QString pdf = entryPath;
    pdf.replace(pdf.size() - 5, 5, QStringLiteral(".pdf"));
    if (discipline <= 0 || participant <= 0 || !QFile::exists(pdf)) {
        out << "failed: the queue entry is damaged" << Qt::endl;
        return 4;
    }
    try {
        TDataER data;
        if (data.creationError())
            std::rethrow_exception(data.creationError());
        if (net != 0)
            data.changeNET(net);
        const int area = workArea(discipline, participant).value_or(kDefaultArea);
        const QString name = UploadData::send(area, participant, discipline, pdf);
        // stored: out of the queue, the entry first so that no one sends it again
        QFile::remove(entryPath);
        QFile::remove(pdf);
        out << "sent " << name << Qt::endl;
    } catch (const std::exception &e) {
        out << "failed: " << QString::fromUtf8(e.what()).simplified().left(500) << Qt::endl;
        return 1;
    }
    return 0;
}

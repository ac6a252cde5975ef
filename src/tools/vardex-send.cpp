// vardex-send: sends one queued checked copy as the participant's checked work, in a process of
// its own so that the window never waits on the database's lock or the file server.
//
//   vardex-send [--net N] ENTRY.json
//
// ENTRY.json names the work, the expert, the discipline and the participant; the copy is the
// .pdf beside it. Prints "sent STORED-NAME" and removes both once the copy is stored;
// "failed: REASON" leaves them for another try; "refused: REASON" (exit 5) sets the entry aside
// for good as ENTRY.refused with the reason in ENTRY.reason, since trying again cannot help.
// Only one sender works on an entry at a time, and none for longer than kSendSeconds.
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/PrivateFiles.h"
#include "data/SavedWorks.h"
#include "data/ScoringData.h"
#include "data/UploadData.h"

namespace {

constexpr unsigned kSendSeconds = 240;   // a 50 MiB copy over a slow link, and the lock's wait
constexpr qint64 kMaxEntryBytes = 64 * 1024;

class Refusal : public VardexError {
public:
    using VardexError::VardexError;
};

// The entry out of the queue's way, with why: it is shown, and never tried again.
void setAside(const QString &entryPath, const QString &reason)
{
    const QString base = entryPath.left(entryPath.size() - 5);
    ::rename(QFile::encodeName(entryPath).constData(), QFile::encodeName(base + QStringLiteral(".refused")).constData());
    const int fd = PrivateFiles::create(base + QStringLiteral(".reason"));
    if (fd >= 0) {
        const QByteArray text = reason.toUtf8();
        if (::write(fd, text.constData(), size_t(text.size())) < 0) {
            // the entry is aside all the same; the window says it without the reason
        }
        ::close(fd);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    alarm(kSendSeconds);   // whatever holds it (a lock, a server that stops answering), it ends here
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int net = 0;
    if (args.size() == 3 && args[0] == QLatin1String("--net")) {
        net = args[1].toInt();
        args = args.mid(2);
    }
    QTextStream out(stdout);
    if (args.size() != 1 || net < 0 || net > 1 || !args[0].endsWith(QLatin1String(".json"))) {
        out << "failed: usage: vardex-send [--net 0|1] ENTRY.json" << Qt::endl;
        return 2;
    }
    const QString entryPath = args[0];
    struct stat st {};
    const int entryFd = PrivateFiles::openRegular(entryPath, &st);
    if (entryFd < 0 && errno == ENOENT)
        return 0;   // sent meanwhile by another sender
    QFile entry;
    if (entryFd >= 0)
        entry.open(entryFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    if (entryFd >= 0 && flock(entryFd, LOCK_EX | LOCK_NB) != 0) {
        out << "failed: another sender has it" << Qt::endl;
        return 3;
    }
    if (entryFd >= 0 && !QFile::exists(entryPath))   // the sender before this one stored it and let go
        return 0;
    try {
        if (entryFd < 0 || st.st_size > kMaxEntryBytes)
            throw Refusal(QStringLiteral("запись очереди не является обычным файлом"));
        const QJsonObject o = QJsonDocument::fromJson(entry.read(kMaxEntryBytes)).object();
        const int work = o.value(QStringLiteral("work")).toInt(), discipline = o.value(QStringLiteral("discipline")).toInt(),
                  participant = o.value(QStringLiteral("participant")).toInt();
        if (work <= 0 || discipline <= 0 || participant <= 0)
            throw Refusal(QStringLiteral("запись очереди повреждена"));
        // the copy: a regular file of ours, a whole PDF within the upload's bound, read from what was checked
        const QString pdf = entryPath.left(entryPath.size() - 5) + QStringLiteral(".pdf");
        struct stat pdfStat {};
        const int pdfFd = PrivateFiles::openRegular(pdf, &pdfStat);
        if (pdfFd < 0)
            throw Refusal(QStringLiteral("файл копии не найден или не является обычным файлом"));
        const QString opened = QStringLiteral("/proc/self/fd/%1").arg(pdfFd);
        if (pdfStat.st_size <= 0 || pdfStat.st_size > UploadData::kMaxUploadBytes)
            throw Refusal(QStringLiteral("файл копии больше %1 МиБ или пуст").arg(UploadData::kMaxUploadBytes >> 20));
        if (!isWholePdf(opened))
            throw Refusal(QStringLiteral("файл копии не является целым PDF"));

        // the network the expert chose, else the other one
        TDataER data;   // the main network first, as the program starts
        const auto reach = [&data](int n) {
            data.changeNET(n);
            data.connectDB();
        };
        if (net != 0 || data.creationError()) {
            try {
                reach(net);
            } catch (const std::exception &) {
                reach(1 - net);   // its failure is the one told
            }
        }
        // the entry's work decides the period, the discipline and the participant
        const std::optional<ScoringData::WorkOwner> owner = ScoringData::ownerOf(work);
        if (!owner || owner->discipline != discipline || owner->participant != participant)
            throw Refusal(QStringLiteral("работа %1 не найдена среди работ дисциплины").arg(work));
        if (owner->period != activePeriod())
            throw Refusal(QStringLiteral("период работы %1 закрыт: копия не отправляется").arg(owner->participant));
        const int area = workArea(discipline, participant).value_or(kDefaultArea);
        const QString name = UploadData::send(area, participant, discipline, opened, {}, QStringLiteral("checked.pdf"));
        // stored: out of the queue, the entry first so that no one sends it again
        QFile::remove(entryPath);
        QFile::remove(pdf);
        out << "sent " << name << Qt::endl;
    } catch (const Refusal &e) {
        setAside(entryPath, e.message());
        out << "refused: " << e.message().simplified().left(500) << Qt::endl;
        return 5;
    } catch (const NamesTaken &e) {
        setAside(entryPath, e.message());
        out << "refused: " << e.message().simplified().left(500) << Qt::endl;
        return 5;
    } catch (const std::exception &e) {
        out << "failed: " << QString::fromUtf8(e.what()).simplified().left(500) << Qt::endl;
        return 1;
    }
    return 0;
}

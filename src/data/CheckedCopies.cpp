#include "data/CheckedCopies.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

#include "data/Config.h"
#include "data/EventLog.h"
#include "data/Helpers.h"
#include "data/PrivateFiles.h"

namespace {
constexpr int kRefused = 5;   // vardex-send's exit code for an entry it set aside
}

CheckedCopies &CheckedCopies::get()
{
    static CheckedCopies *copies = new CheckedCopies;   // lives with the program
    return *copies;
}

CheckedCopies::CheckedCopies() : m_retry(new QTimer(this))
{
    m_retry->setInterval(retrySeconds * 1000);
    connect(m_retry, &QTimer::timeout, this, [this] { sendPending(m_net); });
}

QString CheckedCopies::queueFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/checked-copies");
}

QList<CheckedCopies::Line> CheckedCopies::scorePage(const QString &discipline, int workCode, const QString &classStudy,
                                                    const ScoreSheet &sheet)
{
    QList<Line> lines{{discipline, true}, {QStringLiteral("Код работы: ") + QString::number(workCode), false}};
    if (!classStudy.trimmed().isEmpty())
        lines.append({QStringLiteral("Класс: ") + classStudy.trimmed(), false});
    lines.append({QString(), false});
    const QList<ScoreSheet::Task> &tasks = sheet.tasks();
    for (auto t = tasks.crbegin(); t != tasks.crend(); ++t) {   // as on screen: the sheet checks them from the last
        lines.append({t->title + QStringLiteral(": ") + QString::number(sheet.score(t->id).value_or(0)) + QStringLiteral(" из ")
                          + QString::number(ScoreSheet::maxOf(*t)),
                      false});
        if (!sheet.comment(t->id).trimmed().isEmpty())
            lines.append({QStringLiteral("    ") + sheet.comment(t->id), false});
    }
    lines.append({QString(), false});
    lines.append({QStringLiteral("Итого: %1 из %2").arg(sheet.total()).arg(sheet.maximum()), true});
    return lines;
}

void CheckedCopies::make(const Copy &copy, const std::function<void(const QString &)> &done)
{
    const QString folder = queueFolder();
    makePrivateFolder(folder);
    const QString base = folder + QStringLiteral("/%1-%2").arg(copy.work).arg(copy.expert);
    QJsonArray lines;
    for (const Line &l : copy.scorePage)
        lines.append(QJsonObject{{QStringLiteral("text"), l.text}, {QStringLiteral("bold"), l.bold}});
    const QJsonObject request{{QStringLiteral("marks"), QJsonDocument::fromJson(ScanMarks::toJson(copy.marks)).array()},
                              {QStringLiteral("lines"), lines}};
    const QString requestPath = base + QStringLiteral(".request");   // an fd-opened QFile has no name
    QFile requestFile;
    const int fd = PrivateFiles::create(requestPath);
    if (fd < 0 || !requestFile.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
        || requestFile.write(QJsonDocument(request).toJson(QJsonDocument::Compact)) < 0) {
        if (fd >= 0 && !requestFile.isOpen())
            ::close(fd);
        done(QStringLiteral("не удалось записать файл в ") + folder);
        return;
    }
    requestFile.close();
    const QString helper = helperPath(QStringLiteral("vardex-scan"));
    if (helper.isEmpty()) {
        QFile::remove(requestPath);
        done(QStringLiteral("не найдена программа vardex-scan"));
        return;
    }
    auto *process = new QProcess(this);
    auto *timer = new QTimer(process);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, process, [process] { process->kill(); });
    const QString part = base + QStringLiteral(".pdf.part");
    connect(process, &QProcess::finished, this, [this, process, base, part, copy, done](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        QFile::remove(base + QStringLiteral(".request"));
        const QString answer = QString::fromUtf8(process->readAllStandardOutput().left(400)).trimmed();
        if (status != QProcess::NormalExit || code != 0 || !answer.startsWith(QLatin1String("checked"))) {
            QFile::remove(part);
            QFile::remove(part + QStringLiteral(".marks"));
            done(status != QProcess::NormalExit ? QStringLiteral("скан не обработан за %1 с").arg(makeSeconds)
                 : answer == QLatin1String("error password") ? QStringLiteral("файл скана защищён паролем")
                 : answer.startsWith(QLatin1String("error pages")) ? QStringLiteral("в скане слишком много страниц")
                                                                   : QStringLiteral("скан не удалось прочитать (") + answer + u')');
            return;
        }
        // the copy first, then the entry that names it: a queued entry always has its file
        QFile::remove(base + QStringLiteral(".pdf"));
        QSaveFile entry(base + QStringLiteral(".json"));
        const QJsonObject o{{QStringLiteral("work"), copy.work}, {QStringLiteral("expert"), copy.expert},
                            {QStringLiteral("discipline"), copy.discipline}, {QStringLiteral("participant"), copy.participant}};
        if (!QFile::rename(part, base + QStringLiteral(".pdf")) || !entry.open(QIODevice::WriteOnly)
            || entry.write(QJsonDocument(o).toJson(QJsonDocument::Compact)) < 0 || !entry.commit()) {
            QFile::remove(part);
            done(QStringLiteral("не удалось записать файл в ") + queueFolder());
            return;
        }
        makePrivateFile(base + QStringLiteral(".pdf"));
        emit changed();
        done(QString());
    });
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(helper, {QStringLiteral("--checked"), copy.original, requestPath, part});
    timer->start(makeSeconds * 1000);
}

int CheckedCopies::pending() const
{
    return int(QDir(queueFolder()).entryList({QStringLiteral("*.json")}, QDir::Files).size());
}

QStringList CheckedCopies::refusals() const
{
    QStringList out;
    const QStringList reasons = QDir(queueFolder()).entryList({QStringLiteral("*.reason")}, QDir::Files, QDir::Name);
    for (const QString &name : reasons) {
        // written by the sender; read as data, never through a link, and bounded
        QFile file;
        const int fd = PrivateFiles::openRegular(queueFolder() + u'/' + name);
        QString reason;
        if (fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            reason = QString::fromUtf8(file.read(1000)).simplified();
        else if (fd >= 0)
            ::close(fd);
        const QString work = name.section(u'-', 0, 0);
        out << QStringLiteral("Копия работы (запись %1) не будет отправлена: %2").arg(work, reason.isEmpty() ? QStringLiteral("причина не записана") : reason);
        if (out.size() == 20)
            break;   // the rest in the log
    }
    return out;
}

void CheckedCopies::sendPending(int net)
{
    m_net = net;
    const QString sender = helperPath(QStringLiteral("vardex-send"));
    const QStringList entries = QDir(queueFolder()).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    if (entries.isEmpty()) {
        m_retry->stop();
        return;
    }
    if (m_retry->interval() != retrySeconds * 1000)
        m_retry->setInterval(retrySeconds * 1000);   // restarts a running timer: this call is a try
    if (!m_retry->isActive())
        m_retry->start();
    if (sender.isEmpty()) {
        emit sendFailed(QStringLiteral("не найдена программа vardex-send"));
        return;
    }
    for (const QString &name : entries) {
        const QString path = queueFolder() + u'/' + name;
        if (m_sending.contains(path))
            continue;
        m_sending.insert(path);
        auto *process = new QProcess(this);
        // a sender that hangs (a lock, a server that stops answering) is ended: it must not hold the
        // participant's names or a transaction for every other workstation
        auto *limit = new QTimer(process);
        limit->setSingleShot(true);
        connect(limit, &QTimer::timeout, process, [process] { process->kill(); });
        limit->start(sendSeconds * 1000);
        connect(process, &QProcess::finished, this, [this, process, path](int code, QProcess::ExitStatus status) {
            process->deleteLater();
            m_sending.remove(path);
            const QString answer = QString::fromUtf8(process->readAllStandardOutput().left(2000)).trimmed();
            if (status == QProcess::NormalExit && (code == 0 || code == kRefused)) {
                // sent, or set aside for good: either way out of the queue
                EventLog::write(QStringLiteral("Проверенные копии"), answer);
                if (code == 0)
                    emit sent();
                emit changed();
                return;
            }
            const QString reason = answer.isEmpty() ? (status == QProcess::NormalExit ? QStringLiteral("отправка прервана")
                                                                                  : QStringLiteral("отправка не завершилась за %1 с").arg(sendSeconds))
                                                    : answer;
            EventLog::write(QStringLiteral("Проверенные копии"), QStringLiteral("Не отправлена ") + QFileInfo(path).baseName()
                                                                          + QStringLiteral(": ") + reason);
            emit sendFailed(reason);
        });
        process->start(sender, {QStringLiteral("--net"), QString::number(net), path});
    }
}

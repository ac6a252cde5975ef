#include "data/DownloadEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <QUrl>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <curl/curl.h>

#include "data/Background.h"
#include "data/Config.h"
#include "data/EventLog.h"
#include "data/FileServer.h"
#include "data/PrivateFiles.h"
#include "data/SavedWorks.h"

namespace {

QMutex g_enginesLock;
QSet<DownloadEngine *> g_engines;

struct Transfer {
    int index = -1;
    CURL *easy = nullptr;
    FILE *file = nullptr;
    QByteArray partPath, targetPath, url;
    std::atomic<qint64> *received = nullptr;
    qint64 bytes = 0;
    bool tooLarge = false;
    int writeError = 0;   // errno of a failed write into the file
};

// Why a file could not be written, in words: a full disk names the folder to free.
QString writeFailure(int error, const QByteArray &target)
{
    const QString folder = QFileInfo(QFile::decodeName(target)).absolutePath();
    if (error == ENOSPC || error == EDQUOT)
        return QStringLiteral("нет места на диске в папке %1: освободите место и загрузите снова").arg(folder);
    return QStringLiteral("не удалось записать файл в папку %1").arg(folder);
}

// Each transfer gets a temporary name of its own beside the target, so that two downloads
// of one file (two windows, or a repeated command) never write into each other's file.
FILE *openPartFile(const QByteArray &target, QByteArray &partPath)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        partPath = target + '.' + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".part";
        // never an existing file, never through a link; private in a private folder (the scan cache)
        const int fd = ::open(partPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              PrivateFiles::isPrivateFolder(QFileInfo(QFile::decodeName(target)).path()) ? 0600 : 0666);
        if (fd >= 0) {
            if (FILE *f = ::fdopen(fd, "wb"))
                return f;
            ::close(fd);
            break;
        }
        if (errno != EEXIST)
            break;
    }
    return nullptr;
}

size_t writeToFile(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    // an endless answer must not fill the disk: far above any real scan, the transfer stops
    t->bytes += qint64(size * count);
    if (t->bytes > DownloadEngine::kMaxDownloadBytes) {
        t->tooLarge = true;
        return 0;
    }
    const size_t n = fwrite(data, size, count, t->file) * size;
    if (n < size * count)
        t->writeError = errno;
    t->received->fetch_add(qint64(n));
    return n;
}

} // namespace

DownloadEngine::DownloadEngine(QList<TDownLoader> jobs) : m_jobs(std::move(jobs))
{
    QMutexLocker lock(&g_enginesLock);
    g_engines.insert(this);
}

DownloadEngine::~DownloadEngine()
{
    cancel();
    QMutexLocker lock(&g_enginesLock);
    g_engines.remove(this);
}

void DownloadEngine::cancelAll()
{
    QList<DownloadEngine *> engines;
    {
        QMutexLocker lock(&g_enginesLock);
        engines = g_engines.values();
    }
    for (DownloadEngine *e : engines)
        e->cancel();
}

void DownloadEngine::start()
{
    m_thread = QThread::create([this] { run(); });
    connect(m_thread, &QThread::finished, this, &QObject::deleteLater);
    m_thread->start();
}

void DownloadEngine::cancel()
{
    m_cancel = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
}

void DownloadEngine::run()
{
    CURLM *multi = curl_multi_init();
    std::atomic<qint64> received{0};
    qint64 completedBytes = 0;
    int completed = 0;
    QList<Transfer> transfers(m_jobs.size());
    QList<int> failed;
    int next = 0, running = 0;
    auto notify = [this](auto f) { QMetaObject::invokeMethod(this, f, Qt::QueuedConnection); };

    auto finish = [&](Transfer &t, bool ok, QString reason, bool transient = false) {
        if (t.file && fclose(t.file) != 0 && ok) {
            ok = false;
            reason = writeFailure(errno, t.targetPath);
        }
        t.file = nullptr;
        // an error page answered with 200, or a body cut short without a length, fails here
        if (ok && !isWholePdf(QFile::decodeName(t.partPath))) {
            ok = false;
            reason = QStringLiteral("файл не является целым PDF");
        }
        if (ok && std::rename(t.partPath.constData(), t.targetPath.constData()) != 0) {
            ok = false;
            reason = QStringLiteral("не удалось сохранить файл");
        }
        if (!ok) {
            std::remove(t.partPath.constData());
            failed << t.index;
        }
        const int index = t.index;
        notify([this, index, ok, reason, transient] {
            if (!ok)
                emit fileFailed(index, reason, transient);
            emit fileFinished(index, ok);
        });
    };
    auto launch = [&] {
        const int before = next;
        while (running < kParallel && next < m_jobs.size() && !m_cancel) {
            Transfer &t = transfers[next];
            t.index = next;
            t.received = &received;
            t.targetPath = QFile::encodeName(m_jobs[next].ToFolder);
            t.url = m_jobs[next].URL.toUtf8();
            ++next;
            t.file = openPartFile(t.targetPath, t.partPath);
            if (!t.file) {
                finish(t, false, QStringLiteral("не удалось создать файл"));
                continue;
            }
            CURL *easy = curl_easy_init();
            t.easy = easy;
            curl_easy_setopt(easy, CURLOPT_URL, t.url.constData());
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, writeToFile);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
            curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
            curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);   // a 4xx/5xx answer is a failure
            curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024);
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 30L);
            // a server that stops sending, or trickles: under 1 KiB/s for a minute is given up
            curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1024L);
            curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, long(lowSpeedSeconds));
            curl_multi_add_handle(multi, easy);
            ++running;
        }
        return next > before;
    };

    launch();
    qint64 reported = -1;
    QElapsedTimer sinceReport;   // progress goes out ten times a second at most
    sinceReport.start();
    while ((running > 0 || next < m_jobs.size()) && !m_cancel) {
        int still = 0;
        curl_multi_perform(multi, &still);
        int queued = 0;
        while (CURLMsg *msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            CURL *easy = msg->easy_handle;
            Transfer *t = nullptr;
            curl_easy_getinfo(easy, CURLINFO_PRIVATE, reinterpret_cast<char **>(&t));
            long status = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            curl_off_t length = 0;
            curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &length);
            completedBytes += length;
            ++completed;
            const bool ok = msg->data.result == CURLE_OK && status >= 200 && status < 300;
            if (!ok && msg->data.result != CURLE_OK)
                EventLog::write(QStringLiteral("Файловый сервер"), QString::fromUtf8(t->url) + QStringLiteral(": ")
                                                                  + QString::fromUtf8(curl_easy_strerror(msg->data.result)));
            // a redirect is not followed (the scan must be at its own address): its status is named
            const FileServer::TransferFailure failure = FileServer::describe(msg->data.result, status);
            const QString reason = t->tooLarge ? QStringLiteral("файл больше %1 МиБ").arg(DownloadEngine::kMaxDownloadBytes >> 20)
                : t->writeError                ? writeFailure(t->writeError, t->targetPath)
                                               : failure.text;
            const bool transient = failure.transient && !t->tooLarge && !t->writeError;
            curl_multi_remove_handle(multi, easy);
            curl_easy_cleanup(easy);
            t->easy = nullptr;
            --running;
            finish(*t, ok, reason, transient);
        }
        const bool added = launch();
        const qint64 now = received.load();
        if (now != reported && (sinceReport.elapsed() >= 100 || (running == 0 && next >= m_jobs.size()))) {
            reported = now;
            sinceReport.restart();
            // the files still to come are taken at the average size of those done
            const qint64 average = completed ? completedBytes / completed : 0;
            const qint64 expectedNow = qMax(now, completedBytes + (m_jobs.size() - completed) * average);
            notify([this, now, expectedNow] { emit progress(now, expectedNow); });
        }
        // a new transfer starts at the next perform, not after a wait; nothing left: no wait
        if (!added && running > 0)
            curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    // cancelled: whatever is still open leaves nothing behind
    for (Transfer &t : transfers) {
        if (t.easy) {
            curl_multi_remove_handle(multi, t.easy);
            curl_easy_cleanup(t.easy);
            t.easy = nullptr;
        }
        if (t.file) {
            fclose(t.file);
            t.file = nullptr;
            std::remove(t.partPath.constData());
        }
    }
    curl_multi_cleanup(multi);
    if (!m_cancel)
        notify([this, failed] { emit finished(failed); });
}

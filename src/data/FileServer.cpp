#include "data/FileServer.h"

#include <optional>

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

QString documentAddress(const QString &folder, const QString &fileName)
{
    return Config::get().filesUrl + folder + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

QString capUtf8(const QString &text, int maxBytes)
{
    qsizetype bytes = 0, end = 0;
    while (end < text.size()) {
        const char32_t c = text.at(end).isHighSurrogate() && end + 1 < text.size() ? QChar::surrogateToUcs4(text.at(end), text.at(end + 1))
                                                                                 : text.at(end).unicode();
        const int size = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        end += c >= 0x10000 ? 2 : 1;
    }
    return text.left(end);
}

QString safeFileName(const QString &text)
{
    QString s;
    for (QChar c : text.trimmed())
        s += (c.unicode() < 32 || c.unicode() == 127 || QStringLiteral("/\\:*?\"<>|").contains(c)) ? QChar(u'_') : c;
    s = s.trimmed();
    while (s.startsWith(QLatin1Char('.')))
        s.remove(0, 1);
    // room left for " (n).pdf" and a transfer's ".<random>.part" under the 255-byte limit
    s = capUtf8(s, kMaxSafeNameBytes).trimmed();
    return s.isEmpty() ? QStringLiteral("_") : s;
}

bool isWholePdf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.read(5) != "%PDF-")
        return false;
    const qint64 size = f.size();
    f.seek(qMax<qint64>(0, size - 1024));
    return f.read(1024).contains("%%EOF");
}

namespace SavedWorks {

namespace {
// One line per saved file: folder, saved name, stored name. A field that could break the line
// apart (a tab, a line break, any control character) is never written.
QString indexPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/saved-works.tsv");
}

bool plainField(const QString &field)
{
    for (const QChar c : field)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            return false;
    return !field.isEmpty();
}
} // namespace

void record(const QString &folder, const QString &savedName, const QString &bodyFile)
{
    if (!plainField(folder) || !plainField(savedName) || !plainField(bodyFile))
        return;   // that copy is simply not offered to the scoring window
    makePrivateFolder(QFileInfo(indexPath()).path());   // the folder the drafts live in
    QFile f(indexPath());
    if (f.open(QIODevice::Append | QIODevice::Text))
        f.write((folder + QLatin1Char('\t') + savedName + QLatin1Char('\t') + bodyFile + QLatin1Char('\n')).toUtf8());
}

QString find(const QString &folder, const QString &bodyFile)
{
    QFile f(indexPath());
    if (bodyFile.isEmpty() || !f.open(QIODevice::ReadOnly) || f.size() > 8 * 1024 * 1024)
        return {};
    // the last word on each name counts: a later download may have given it to another work
    QHash<QString, QString> byName;
    QString name;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 3 || QString::fromUtf8(parts[0]) != folder)
            continue;
        const QString saved = QString::fromUtf8(parts[1]), body = QString::fromUtf8(parts[2]);
        byName.insert(saved, body);
        if (body == bodyFile)
            name = saved;
    }
    if (name.isEmpty() || byName.value(name) != bodyFile || name.contains(QLatin1Char('/')))
        return {};
    const QString path = folder + QLatin1Char('/') + name;
    return isWholePdf(path) ? path : QString();
}

} // namespace SavedWorks

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
};

// Each transfer gets a temporary name of its own beside the target, so that two downloads
// of one file (two windows, or a repeated command) never write into each other's file.
FILE *openPartFile(const QByteArray &target, QByteArray &partPath)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        partPath = target + '.' + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".part";
        if (FILE *f = std::fopen(partPath.constData(), "wbx"))   // "x": never an existing file
            return f;
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

    auto finish = [&](Transfer &t, bool ok, QString reason) {
        if (t.file && fclose(t.file) != 0 && ok) {
            ok = false;
            reason = QStringLiteral("не удалось записать файл");
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
        notify([this, index, ok, reason] {
            if (!ok)
                emit fileFailed(index, reason);
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
            QString reason = QString::fromUtf8(curl_easy_strerror(msg->data.result));
            if (t->tooLarge)
                reason = QStringLiteral("файл больше %1 МиБ").arg(DownloadEngine::kMaxDownloadBytes >> 20);
            else if ((status >= 300 && msg->data.result == CURLE_OK) || status >= 400)
                // a redirect is not followed: the scan must be at its own address
                reason = QStringLiteral("сервер ответил HTTP %1").arg(status);
            curl_multi_remove_handle(multi, easy);
            curl_easy_cleanup(easy);
            t->easy = nullptr;
            --running;
            finish(*t, ok, reason);
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

namespace FileServer {

namespace {
struct PostState {
    std::function<void(qint64, qint64)> progress;
    QObject *receiver;
    QElapsedTimer sinceReport;   // progress goes out ten times a second at most
    curl_off_t reported = -1;
};

int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow)
{
    auto *s = static_cast<PostState *>(user);
    const bool last = ultotal > 0 && ulnow == ultotal;
    if (!s->progress || ulnow == s->reported || (s->sinceReport.isValid() && s->sinceReport.elapsed() < 100 && !last))
        return 0;
    s->reported = ulnow;
    s->sinceReport.start();
    QMetaObject::invokeMethod(s->receiver, [p = s->progress, ulnow, ultotal] { p(ulnow, ultotal); }, Qt::QueuedConnection);
    return 0;
}

// The first bytes of the server's answer: its reason for a refusal.
size_t keepAnswer(char *data, size_t size, size_t count, void *user)
{
    auto *answer = static_cast<QByteArray *>(user);
    if (answer->size() < 1024)
        answer->append(data, qMin<qsizetype>(qsizetype(size * count), 1024 - answer->size()));
    return size * count;
}
} // namespace

Failure::Failure(int status, const QString &reason, const QString &about)
    : VardexError((about.isEmpty() ? QString() : about + QStringLiteral(": "))
                  + (status > 0 ? QStringLiteral("HTTP %1: ").arg(status) : QString()) + reason),
      m_status(status), m_reason(reason)
{
}

void post(const QString &script, const QList<Part> &parts, const std::function<void(qint64, qint64)> &progress)
{
    const QByteArray url = (Config::get().filesUrl + script).toUtf8();
    QObject receiver;
    PostState state{progress, &receiver, {}, -1};
    std::optional<Failure> failure;
    QByteArray answer;
    runInBackground([&] {
        CURL *curl = curl_easy_init();
        curl_mime *mime = curl_mime_init(curl);
        for (const Part &p : parts) {
            curl_mimepart *part = curl_mime_addpart(mime);
            curl_mime_name(part, p.name.toUtf8().constData());
            if (p.filePath.isEmpty()) {
                curl_mime_data(part, p.value.toUtf8().constData(), CURL_ZERO_TERMINATED);
            } else {
                curl_mime_filedata(part, QFile::encodeName(p.filePath).constData());   // streamed from disk
                curl_mime_filename(part, p.fileName.toUtf8().constData());
                curl_mime_type(part, p.type.toUtf8().constData());
            }
        }
        curl_slist *headers = curl_slist_append(nullptr, "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
        char errorText[CURL_ERROR_SIZE] = {0};
        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_USERAGENT,
                         "Mozilla/5.0 (Windows; U; Windows NT 5.1; ru; rv:1.9.0.5) Gecko/2008120122 Firefox/3.0.5");
        curl_easy_setopt(curl, CURLOPT_REFERER, url.constData());
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 120L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepAnswer);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &state);
        const CURLcode rc = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (rc != CURLE_OK)
            failure.emplace(0, QString::fromUtf8(*errorText ? errorText : curl_easy_strerror(rc)));
        else if (status < 200 || status >= 300)
            failure.emplace(int(status), QString::fromUtf8(answer).trimmed());
        curl_slist_free_all(headers);
        curl_mime_free(mime);
        curl_easy_cleanup(curl);
    });
    QCoreApplication::sendPostedEvents(&receiver);
    if (failure)
        throw *failure;
}

} // namespace FileServer

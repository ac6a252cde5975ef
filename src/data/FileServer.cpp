#include "data/FileServer.h"

#include <optional>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <curl/curl.h>

#include "data/Background.h"
#include "data/Config.h"
#include "data/EventLog.h"

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

// What every request to the file server sets: the address, no redirect followed (a redirected
// post stores nothing), no signals (it runs on a worker thread), 30 s to connect, libcurl's own
// words into errorText.
void setBasics(CURL *curl, const QByteArray &url, char *errorText)
{
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
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
        setBasics(curl, url, errorText);
        curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_USERAGENT,
                         "Mozilla/5.0 (Windows; U; Windows NT 5.1; ru; rv:1.9.0.5) Gecko/2008120122 Firefox/3.0.5");
        curl_easy_setopt(curl, CURLOPT_REFERER, url.constData());
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 120L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepAnswer);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &state);
        const CURLcode rc = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (rc != CURLE_OK) {
            EventLog::write(QStringLiteral("Файловый сервер"), QString::fromUtf8(url) + QStringLiteral(": ")
                                                              + QString::fromUtf8(*errorText ? errorText : curl_easy_strerror(rc)));
            failure.emplace(0, describe(rc).text);
        }
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

namespace {
struct Counted {
    qint64 bytes = 0;
    qint64 cap = 0;
};

size_t countBytes(char *, size_t size, size_t count, void *user)
{
    auto *c = static_cast<Counted *>(user);
    c->bytes += qint64(size * count);
    return c->bytes > c->cap ? 0 : size * count;   // past the cap the answer says enough
}

// One HEAD (`head`) or GET of the address: the status and the length HEAD gave (-1: none) or
// GET counted; a link that failed says why in `failure` (in words, libcurl's own to the log).
struct Answer {
    long status = 0;
    qint64 length = -1;
    QString failure;
};

Answer request(const QByteArray &url, bool head, qint64 cap)
{
    CURL *curl = curl_easy_init();
    char errorText[CURL_ERROR_SIZE] = {0};
    Counted counted{0, cap};
    setBasics(curl, url, errorText);
    curl_easy_setopt(curl, CURLOPT_NOBODY, head ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1024L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, countBytes);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &counted);
    const CURLcode rc = curl_easy_perform(curl);
    Answer answer;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_off_t length = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    curl_easy_cleanup(curl);
    answer.length = head ? qint64(length) : counted.bytes;
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && counted.bytes > cap)) {   // past the cap: "more" is the answer
        EventLog::write(QStringLiteral("Файловый сервер"), QString::fromUtf8(url) + QStringLiteral(": ")
                                                          + QString::fromUtf8(*errorText ? errorText : curl_easy_strerror(rc)));
        answer.failure = describe(rc).text;
    }
    return answer;
}

bool isSuccess(long status)
{
    return status >= 200 && status < 300;
}
} // namespace

qint64 storedSize(const QString &address, qint64 cap)
{
    const QByteArray url = address.toUtf8();
    Answer answer;
    runInBackground([&] {
        answer = request(url, true, cap);
        // HEAD not served, or without a length: the body is counted instead
        if (answer.failure.isEmpty()
            && (answer.status == 405 || answer.status == 501 || (isSuccess(answer.status) && answer.length < 0)))
            answer = request(url, false, cap);
    });
    if (!answer.failure.isEmpty())
        throw Failure(0, answer.failure);
    if (answer.status == 404)
        return -1;
    if (!isSuccess(answer.status))
        throw Failure(int(answer.status), QStringLiteral("сохранённый файл не удалось проверить"));
    return answer.length;
}

TransferFailure describe(int curlCode, long status)
{
    switch (CURLcode(curlCode)) {
    case CURLE_OK:
        if (status >= 500)
            return {QStringLiteral("файловый сервер временно не может ответить (HTTP %1); попытка будет повторена").arg(status), true};
        return {QStringLiteral("сервер ответил HTTP %1").arg(status), false};
    case CURLE_COULDNT_CONNECT:
        return {QStringLiteral("нет связи с файловым сервером; проверьте сеть, попытка будет повторена"), true};
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return {QStringLiteral("адрес файлового сервера не найден; проверьте сеть, попытка будет повторена"), true};
    case CURLE_OPERATION_TIMEDOUT:
        return {QStringLiteral("файловый сервер не ответил вовремя; попытка будет повторена"), true};
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        return {QStringLiteral("связь с файловым сервером прервалась; попытка будет повторена"), true};
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
        return {QStringLiteral("защищённое соединение с файловым сервером не установлено; сообщите администратору"), false};
    case CURLE_HTTP_RETURNED_ERROR:
        return describe(CURLE_OK, status);
    default:
        return {QStringLiteral("ошибка передачи файла (код %1); сообщите администратору").arg(curlCode), false};
    }
}

} // namespace FileServer

#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

#include "data/VardexError.h"

class QThread;

// The address of a document on the file server: base + folder + "/" + the file name,
// percent-encoded so that blanks, "#", "?" and "%" in a stored name fetch that very file.
QString documentAddress(const QString &folder, const QString &fileName);

// A single path component made from any text: / \ : * ? " < > | and control characters become
// "_", no leading dot, trimmed, at most kMaxSafeNameBytes bytes of UTF-8; never empty.
constexpr int kMaxSafeNameBytes = 200;
QString safeFileName(const QString &text);
// The longest start of the text that takes at most maxBytes bytes of UTF-8 (never half a character).
QString capUtf8(const QString &text, int maxBytes);

// A PDF header at the start and its end marker in the last 1 KiB: a whole PDF, not a cut one.
bool isWholePdf(const QString &path);

// Which saved file in a download folder holds which stored work, so that the scoring window can
// show the copy already on disk. A list in the program's own data folder (the download folder
// holds the works only); the last entry for a name wins.
namespace SavedWorks {
void record(const QString &folder, const QString &savedName, const QString &bodyFile);
QString find(const QString &folder, const QString &bodyFile);   // a whole PDF's path, or ""
}

// One file to fetch: the address and the local file it becomes.
struct TDownLoader {
    QString URL;
    QString ToFolder;
};

// Fetches files on a thread of its own, at most kParallel at a time. Each body streams into a
// temporary file of its own beside the target, which becomes the target only when the whole
// answer arrived with a 2xx status and is a whole PDF; a failed file leaves nothing behind. Signals arrive on the thread that created the
// engine. The engine outlives the window that started it; it deletes itself when done.
class DownloadEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int kParallel = 6;
    // A bound far above the largest real scan (60 pages, about 60 MiB; uploads stop at 50 MiB).
    static inline qint64 kMaxDownloadBytes = 512LL * 1024 * 1024;
    static inline int lowSpeedSeconds = 60;   // below 1 KiB/s this long, a transfer is given up
    explicit DownloadEngine(QList<TDownLoader> jobs);
    ~DownloadEngine() override;
    void start();
    void cancel();                    // stops the transfers and waits for the thread
    static void cancelAll();          // at program exit

signals:
    void progress(qint64 bytesReceived, qint64 bytesExpected);
    void fileFailed(int index, const QString &reason);   // just before its fileFinished
    void fileFinished(int index, bool ok);
    void finished(const QList<int> &failed);

private:
    void run();
    QList<TDownLoader> m_jobs;
    QThread *m_thread = nullptr;
    std::atomic<bool> m_cancel{false};
};

// Requests of the upload window: multipart posts with the browser-like headers of the file
// server's scripts. The file part streams from disk. Runs on a worker thread while the caller's
// event loop keeps the window painted; progress reports the bytes sent.
namespace FileServer {
struct Part {
    QString name;
    QString value;      // text part
    QString filePath;   // file part when not empty
    QString fileName;
    QString type;
};
// What went wrong with a request: the HTTP status (0 when no answer came) and the reason, the
// start of the server's answer or the transfer's own error. message() is "HTTP 409: file exists".
class Failure : public VardexError {
public:
    // `about` (a file's name) goes before the message when given
    Failure(int status, const QString &reason, const QString &about = {});
    int status() const { return m_status; }
    const QString &reason() const { return m_reason; }
    bool nameTaken() const { return m_status == 409; }   // the server holds a file of that name

private:
    int m_status;
    QString m_reason;
};
// Returns on a 2xx answer; raises Failure otherwise.
void post(const QString &script, const QList<Part> &parts, const std::function<void(qint64 done, qint64 total)> &progress = {});
}

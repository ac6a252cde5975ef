#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>

class QThread;

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
    // just before its fileFinished; transient: the server or the link is away for now
    void fileFailed(int index, const QString &reason, bool transient);
    void fileFinished(int index, bool ok);
    void finished(const QList<int> &failed);

private:
    void run();
    QList<TDownLoader> m_jobs;
    QThread *m_thread = nullptr;
    std::atomic<bool> m_cancel{false};
};

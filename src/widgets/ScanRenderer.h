#pragma once
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSizeF>
#include <QString>

class QProcess;
class QTimer;

// Opens and renders scans in the helper process vardex-scan, never on the window's thread: the
// window sends a request and goes on; the answer comes as a signal. A request that overruns its
// time (ScanLimits) or a helper that dies takes the scan with it: the helper is killed, the
// scan is reported failed with the reason, and the next scan gets a fresh helper.
class ScanRenderer : public QObject {
    Q_OBJECT
public:
    static inline int openMs = 0;   // 0: ScanLimits' own; a test may shorten them
    static inline int pageMs = 0;

    explicit ScanRenderer(QObject *parent = nullptr);
    ~ScanRenderer() override;
    static QString helperPath();   // "" when the helper is not installed

    // A new scan: whatever is still asked of the previous one no longer counts.
    void open(const QString &path);
    void close();
    // One page of the open scan, size in pixels, turned `turns` quarters; clip: only that part
    // (null: the whole page). The latest request waits while the helper is busy; an answer
    // arrives as rendered() if its scan is still the open one.
    void render(int page, QSize size, int turns, QRect clip = {});
    bool isRendering(int page, QSize size, int turns, QRect clip) const;
    qint64 helperPid() const;

signals:
    void opened(const QList<QSizeF> &pagePoints);
    void rendered(int page, QSize size, int turns, QRect clip, const QImage &image);
    void failed(const QString &reason);

private:
    struct Request {
        enum Kind { None, Open, Render } kind = None;
        quint64 scan = 0;   // which open it belongs to
        quint64 id = 0;
        QString path;
        int page = 0;
        QSize size;
        int turns = 0;
        QRect clip;
    };
    void startHelper();
    void send();
    void readAnswers();
    void answer(const QByteArray &line, const QByteArray &body);
    void giveUp(const QString &reason);
    QProcess *m_helper = nullptr;
    QTimer *m_timer;
    QByteArray m_buffer;
    Request m_sent;     // in the helper now
    Request m_waiting;  // next to send
    quint64 m_scan = 0;
    quint64 m_nextId = 0;
};

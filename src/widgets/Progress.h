#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QProgressBar;

// A bar of bytes transferred; shown in KiB so that large transfers stay within its range.
QProgressBar *byteProgressBar(QWidget *parent);
void showBytes(QProgressBar *bar, qint64 done, qint64 total);

// Shows a count on a bar at most ten times a second: QProgressBar paints on every setValue, and a
// batch of small files would otherwise spend its time painting. The last value always shows.
class PacedProgress : public QObject {
    Q_OBJECT
public:
    explicit PacedProgress(QProgressBar *bar, QObject *parent = nullptr);
    void set(int value);
    void stop();   // the work is over: nothing pending shows after this (the bar is about to be reset)

private:
    void show();
    QPointer<QProgressBar> m_bar;
    QTimer *m_timer;
    QElapsedTimer m_since;
    int m_pending = 0;
};

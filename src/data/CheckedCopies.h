#pragma once
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QString>
#include <functional>

#include "data/ScanMarks.h"
#include "data/ScoreSheet.h"

class QTimer;

// Checked copies of works marked on screen: made from the original scan and the marks by the
// helper (vardex-scan --checked), kept in a queue on this computer, and sent by a process of their
// own (vardex-send) as the participant's checked work, under a reserved stored name like any
// upload. A copy leaves the queue only once it is stored; nothing waits on the window's thread.
class CheckedCopies : public QObject {
    Q_OBJECT
public:
    struct Line {
        QString text;
        bool bold = false;
    };
    struct Copy {
        int work = 0;
        int expert = 0;
        int discipline = 0;
        int participant = 0;
        QString original;   // the scan as shown
        QList<ScanMark> marks;
        QList<Line> scorePage;
    };
    static CheckedCopies &get();
    static QString queueFolder();
    // The page of scores, which the participant reads: the discipline, the work's code and the
    // class (each once; the class when known), each task's "N из M" and comment (plain text, in the
    // sheet's order on screen) and the total.
    static QList<Line> scorePage(const QString &discipline, int workCode, const QString &classStudy, const ScoreSheet &sheet);

    // Makes the copy and queues it; done(reason) on this thread: "" when queued.
    void make(const Copy &copy, const std::function<void(const QString &failure)> &done);
    int pending() const;   // copies in the queue
    // The copies the sender set aside for good (a damaged entry, a closed period, ...), each as
    // a line that says which and why.
    QStringList refusals() const;
    // Sends each queued copy not already on its way; net: the network profile to connect through.
    void sendPending(int net);
    static inline int makeSeconds = 30;   // a helper that takes longer is stopped
    static inline int retrySeconds = 60;  // while copies wait, they are tried again this often
    static inline int sendSeconds = 255;  // a sender still at work past this is ended (it ends itself at 240)

signals:
    void changed();                            // the queue grew or shrank
    void sendFailed(const QString &reason);    // the copy stays queued
    void sent();                               // a copy is stored: an earlier failure is over

private:
    CheckedCopies();
    QSet<QString> m_sending;
    QTimer *m_retry;
    int m_net = 0;
};

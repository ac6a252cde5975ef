#include "data/Background.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <exception>

void runInBackground(const std::function<void()> &work, const std::function<void()> &meanwhile)
{
    std::exception_ptr failure, meanwhileFailure;
    QEventLoop loop;
    bool ran = !meanwhile;
    const auto runMeanwhile = [&] {
        if (ran)
            return;
        ran = true;
        try {
            meanwhile();
        } catch (...) {
            meanwhileFailure = std::current_exception();
        }
    };
    // inside the loop, so that the work's end cannot slip past it; or after, if the work won
    if (meanwhile)
        QTimer::singleShot(0, &loop, runMeanwhile);
    QThread *worker = QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);   // painted, but no clicks meanwhile
    runMeanwhile();
    worker->wait();
    delete worker;
    if (failure)
        std::rethrow_exception(failure);
    if (meanwhileFailure)
        std::rethrow_exception(meanwhileFailure);
}

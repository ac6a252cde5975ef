#include "data/Background.h"

#include <QEventLoop>
#include <QThread>
#include <exception>

void runInBackground(const std::function<void()> &work)
{
    std::exception_ptr failure;
    QEventLoop loop;
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
    worker->wait();
    delete worker;
    if (failure)
        std::rethrow_exception(failure);
}

#pragma once
#include <QList>
#include <QString>
#include <functional>

#include "data/VardexError.h"

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
// Returns on a 2xx answer; raises Failure otherwise. A redirect is a failure too: a post is
// never sent on to another address.
void post(const QString &script, const QList<Part> &parts, const std::function<void(qint64 done, qint64 total)> &progress = {});
// The size of a file the server holds at `address`: -1 when it answers 404 (no such file), as
// its HEAD says, or counted from a GET (at most `cap` bytes, cap + 1 meaning "more") when HEAD
// gives no length. Raises Failure for any other answer.
qint64 storedSize(const QString &address, qint64 cap);
// A transfer's failure in words an expert can act on, in Russian (libcurl's own text goes to the
// log): code is libcurl's result, status the HTTP answer (0 when none came). transient: the
// server or the link is away for now, and the same request may go through later.
struct TransferFailure {
    QString text;
    bool transient = false;
};
TransferFailure describe(int curlCode, long status = 0);
}

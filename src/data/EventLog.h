#pragma once
#include <QString>

// The program's log of failures: one line per event (time, command, reason) in a file under
// the user's application data folder, rotated at 1 MiB with three files kept. Passwords never
// reach it; anything that looks like a password hash is blanked on the way in.
namespace EventLog {

constexpr qint64 kMaxBytes = 1024 * 1024;
constexpr int kFiles = 3;   // vardex.log, vardex.log.1, vardex.log.2

QString path();
void write(const QString &command, const QString &reason);

} // namespace EventLog

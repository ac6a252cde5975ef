#pragma once
#include <QString>
#include <QtGlobal>

// A work's scan as the windows ask for it.
struct WorkScan {
    int work = 0;
    QString bodyFile;     // the stored name under untestedwork/ on the file server
    QString discipline;   // the download window's folder is named after it
};

// Where a work's scan comes from, in one place: the copy the download window saved if it is
// there and whole, else the user's cache, else the file server (fetched into the cache). The
// cache keeps to its size, the least recently used out first.
namespace ScanSource {
enum class Source { None, Local, Cache, Server };
inline qint64 cacheCap = 500LL * 1024 * 1024;

QString cacheFolder();
// A stored name may hold anything: the cache file is a safe form of it plus a digest, so that
// two names that read alike never share a file.
QString cachePath(const QString &bodyFile);
void markUsed(const QString &path);   // a file shown from the cache counts as just used
void trimCache(qint64 cap);           // oldest first, until the folder is within cap
// The saved copy or the cached one, when either holds the scan whole (a cached one counts as
// used); "" when it has to come from the file server.
QString onDisk(const WorkScan &work, Source *source);
}

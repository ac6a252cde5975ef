#include "data/ScanSource.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

#include "data/ADataER.h"
#include "data/FileNames.h"
#include "data/SavedWorks.h"

namespace ScanSource {

QString cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/scans");
}

QString cachePath(const QString &bodyFile)
{
    const QByteArray digest = QCryptographicHash::hash(bodyFile.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    QString base = safeFileName(bodyFile);
    if (base.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        base.chop(4);
    return cacheFolder() + QLatin1Char('/') + capUtf8(base, 150) + QLatin1Char('-') + QString::fromLatin1(digest)
        + QStringLiteral(".pdf");
}

// (The time is set through an open file: on a closed one Qt cannot set it.)
void markUsed(const QString &path)
{
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        f.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
}

void trimCache(qint64 cap)
{
    QFileInfoList files = QDir(cacheFolder()).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files);
    std::sort(files.begin(), files.end(),
              [](const QFileInfo &a, const QFileInfo &b) { return a.lastModified() < b.lastModified(); });
    qint64 total = 0;
    for (const QFileInfo &f : files)
        total += f.size();
    for (const QFileInfo &f : files) {
        if (total <= cap)
            break;
        if (QFile::remove(f.absoluteFilePath()))
            total -= f.size();
    }
}

QString onDisk(const WorkScan &work, Source *source)
{
    const QString local = SavedWorks::find(TDataER::downloadFolder(safeFileName(work.discipline)), work.bodyFile);
    if (!local.isEmpty()) {
        *source = Source::Local;
        return local;
    }
    const QString cached = cachePath(work.bodyFile);
    if (isWholePdf(cached)) {
        markUsed(cached);
        *source = Source::Cache;
        return cached;
    }
    *source = Source::Server;
    return {};
}

} // namespace ScanSource

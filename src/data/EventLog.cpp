#include "data/EventLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QStandardPaths>

#include "data/Config.h"

namespace EventLog {

QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/vardex.log");
}

namespace {

QString oneLine(QString text)
{
    static const QRegularExpression hash(QStringLiteral(R"(\$2[a-zA-Z]?\$\d\d\$[./A-Za-z0-9]{20,})"));
    text.replace(hash, QStringLiteral("[hash]"));
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

void rotate(const QString &file)
{
    if (QFileInfo(file).size() < kMaxBytes)
        return;
    QFile::remove(file + QStringLiteral(".%1").arg(kFiles - 1));
    for (int i = kFiles - 2; i >= 1; --i)
        QFile::rename(file + QStringLiteral(".%1").arg(i), file + QStringLiteral(".%1").arg(i + 1));
    QFile::rename(file, file + QStringLiteral(".1"));
}

} // namespace

void write(const QString &command, const QString &reason)
{
    static QMutex lock;
    QMutexLocker guard(&lock);
    const QString file = path();
    makePrivateFolder(QFileInfo(file).path());
    rotate(file);
    QFile out(file);
    if (!out.open(QIODevice::Append | QIODevice::Text, QFile::ReadOwner | QFile::WriteOwner))
        return;   // a log that cannot be written must not stop the command
    makePrivateFile(file);   // one written by an earlier version
    const QString line = QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char('\t')
        + oneLine(command.isEmpty() ? QStringLiteral("-") : command) + QLatin1Char('\t') + oneLine(reason) + QLatin1Char('\n');
    out.write(line.toUtf8());
}

} // namespace EventLog

#include "evaluation/FileServer.h"

#include <QUrl>

#include "data/Config.h"

QString documentAddress(const QString &folder, const QString &fileName)
{
    return Config::get().filesUrl + folder + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

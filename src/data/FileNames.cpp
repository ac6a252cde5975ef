#include "data/FileNames.h"

#include <QUrl>

#include "data/Config.h"

QString documentAddress(const QString &folder, const QString &fileName)
{
    return Config::get().filesUrl + folder + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

QString capUtf8(const QString &text, int maxBytes)
{
    qsizetype bytes = 0, end = 0;
    while (end < text.size()) {
        const char32_t c = text.at(end).isHighSurrogate() && end + 1 < text.size() ? QChar::surrogateToUcs4(text.at(end), text.at(end + 1))
                                                                                 : text.at(end).unicode();
        const int size = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        end += c >= 0x10000 ? 2 : 1;
    }
    return text.left(end);
}

QString safeFileName(const QString &text)
{
    QString s;
    for (QChar c : text.trimmed())
        s += (c.unicode() < 32 || c.unicode() == 127 || QStringLiteral("/\\:*?\"<>|").contains(c)) ? QChar(u'_') : c;
    s = s.trimmed();
    while (s.startsWith(QLatin1Char('.')))
        s.remove(0, 1);
    // room left for " (n).pdf" and a transfer's ".<random>.part" under the 255-byte limit
    s = capUtf8(s, kMaxSafeNameBytes).trimmed();
    return s.isEmpty() ? QStringLiteral("_") : s;
}

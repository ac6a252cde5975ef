// The data module's mail operation: one HTML letter through the centre's mailbox, over SMTP with
// STARTTLS required, the server's certificate verified, and a time limit on the whole session.
#include <QDateTime>
#include <QHostInfo>
#include <QLocale>
#include <QUuid>
#include <curl/curl.h>

#include "data/ADataER.h"
#include "data/VardexError.h"

namespace {

constexpr long kMailTimeoutSeconds = 30;

// RFC 2047 encoded words, each at most 75 characters, split between characters, folded.
QByteArray encodedWords(const QString &text)
{
    QByteArray out;
    QByteArray chunk;
    auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray ch = text.mid(i, n).toUtf8();
        if (chunk.size() + ch.size() > 45)   // 45 bytes give 60 characters of Base64
            flush();
        chunk += ch;
        i += n - 1;
    }
    flush();
    return out;
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray b64 = data.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < b64.size(); i += 76)
        out += b64.mid(i, 76) + "\r\n";
    return out;
}

struct Upload {
    QByteArray data;
    qsizetype pos = 0;
};

size_t readMessage(char *buffer, size_t size, size_t count, void *user)
{
    auto *u = static_cast<Upload *>(user);
    const size_t n = qMin<size_t>(size * count, size_t(u->data.size() - u->pos));
    memcpy(buffer, u->data.constData() + u->pos, n);
    u->pos += qsizetype(n);
    return n;
}

} // namespace

// RFC 5322: English day and month names whatever the locale, and a numeric zone ("+0300").
QString TDataER::mailDate(const QDateTime &when)
{
    const int offset = when.offsetFromUtc() / 60;
    const int magnitude = qAbs(offset);
    return QLocale::c().toString(when, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")) + (offset < 0 ? u'-' : u'+')
        + QStringLiteral("%1%2").arg(magnitude / 60, 2, 10, QLatin1Char('0')).arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

namespace {

// The whole letter: headers, then the HTML body in UTF-8 (Base64).
QByteArray mailMessage(const QByteArray &from, const QString &subject, const QString &subjectName,
                       const QString &AdressTo, const QString &body)
{
    const QString host = QHostInfo::localHostName().isEmpty() ? QStringLiteral("localhost") : QHostInfo::localHostName();
    QByteArray m;
    m += "Date: " + TDataER::mailDate(QDateTime::currentDateTime()).toUtf8() + "\r\n";
    m += "From: " + encodedWords(subjectName) + " <" + from + ">\r\n";
    m += "To: <" + AdressTo.toUtf8() + ">\r\n";
    m += "Subject: " + encodedWords(subject) + "\r\n";
    m += "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8() + "@" + host.toUtf8() + ">\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/html; charset=UTF-8\r\n";
    m += "Content-Transfer-Encoding: base64\r\n\r\n";
    m += base64Lines(body.toUtf8());
    return m;
}

} // namespace

bool TDataER::MailSend(const QString &subject, const QString &subjectName, const QString &AdressTo, const QString &body)
{
    // Mail services take STARTTLS on the submission port; the configured 465 or 25 means 587.
    int port = m_config.smtpPort;
    if (port == 465 || port == 25)
        port = 587;
    const QByteArray url = "smtp://" + m_config.smtpHost.toUtf8() + ":" + QByteArray::number(port);
    const QByteArray user = m_config.smtpUser.toUtf8();
    const QByteArray password = m_config.smtpPassword.toUtf8();
    const QByteArray mailFrom = "<" + user + ">";
    const QByteArray caFile = m_config.smtpCaFile.toUtf8();
    Upload upload{mailMessage(user, subject, subjectName, AdressTo, body)};

    CURL *curl = curl_easy_init();
    if (!curl)
        throw VardexError(QStringLiteral("Не удалось запустить почтовый клиент"));
    char errorText[CURL_ERROR_SIZE] = {0};
    curl_slist *recipients = nullptr;
    for (const QString &to : AdressTo.split(QLatin1Char(','), Qt::SkipEmptyParts))
        recipients = curl_slist_append(recipients, ("<" + to.trimmed().toUtf8() + ">").constData());
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));   // no STARTTLS, no letter
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, mailFrom.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kMailTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode rc = curl_easy_perform(curl);
    long reply = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK) {
        QString text = QString::fromUtf8(*errorText ? errorText : curl_easy_strerror(rc));
        if (reply >= 400)
            text += QStringLiteral(" (ответ сервера %1)").arg(reply);
        throw VardexError(QStringLiteral("Ошибка отправки письма: ") + text);
    }
    return true;
}

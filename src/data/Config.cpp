#include "data/Config.h"

#include <QFileInfo>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>
#include <QUrl>
#include <optional>

#include "BuildConfig.h"
#include "data/PrivateFiles.h"
#include "data/VardexError.h"

namespace {

enum class Kind { Text, Host, Port, Url };

// One setting: its key in the settings file and its environment variable.
struct Setting {
    const char *key;
    const char *variable;
    Kind kind;
};

constexpr qint64 kMaxSettingsBytes = 64 * 1024;

// The settings file: INI as a centre writes it by hand, read by us so that a value is taken as it
// stands. "[section]" lines, "key=value" lines, comments on lines of their own (";" or "#").
// A value is the rest of the line, blanks at its ends dropped; commas, semicolons and backslashes
// are part of it. A value in double quotes is taken between them exactly (\" and \\ inside
// stand for " and \), so a password may begin or end with a blank.
QHash<QString, QString> readSettingsFile(const QString &file)
{
    const QFileInfo info(file);
    // a FIFO or a device would hold the start for ever; anything else but a file is refused too
    if (!info.isFile())
        throw VardexError(QStringLiteral("Файл настроек %1 не является обычным файлом.").arg(file));
    QFile f(file);
    if (info.size() > kMaxSettingsBytes)
        throw VardexError(QStringLiteral("Файл настроек %1 слишком велик (больше %2 КиБ).").arg(file).arg(kMaxSettingsBytes / 1024));
    if (!f.open(QIODevice::ReadOnly)) {
        // say why: the usual reason is the file's permissions, which an administrator can change
        const bool denied = f.error() == QFileDevice::OpenError && !info.isReadable();
        throw VardexError(denied ? QStringLiteral("Файл настроек %1 нельзя прочитать: нет прав на чтение этого файла. "
                                                  "Попросите администратора разрешить всем его чтение (chmod 644).")
                                       .arg(file)
                                 : QStringLiteral("Файл настроек %1 не удалось прочитать: %2.").arg(file, f.errorString()));
    }
    QHash<QString, QString> values;
    QString section;
    int number = 0;
    for (const QString &raw : QString::fromUtf8(f.read(kMaxSettingsBytes)).split(QLatin1Char('\n'))) {
        ++number;
        QString line = raw;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString bare = line.trimmed();
        if (bare.isEmpty() || bare.startsWith(QLatin1Char(';')) || bare.startsWith(QLatin1Char('#')))
            continue;
        const auto bad = [&] {
            return VardexError(QStringLiteral("Неверная строка %1 в файле настроек %2: \"%3\".").arg(number).arg(file, bare));
        };
        if (bare.startsWith(QLatin1Char('['))) {
            if (!bare.endsWith(QLatin1Char(']')))
                throw bad();
            section = bare.mid(1, bare.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || line.left(eq).trimmed().isEmpty())
            throw bad();
        QString value = line.mid(eq + 1).trimmed();
        if (value.startsWith(QLatin1Char('"'))) {
            QString inner;
            qsizetype i = 1;
            for (; i < value.size() && value[i] != QLatin1Char('"'); ++i) {
                if (value[i] == QLatin1Char('\\') && i + 1 < value.size()
                    && (value[i + 1] == QLatin1Char('"') || value[i + 1] == QLatin1Char('\\')))
                    ++i;
                inner += value[i];
            }
            if (i >= value.size() || i + 1 != value.size())
                throw bad();   // no closing quote, or something after it
            value = inner;
        }
        const QString key = line.left(eq).trimmed();
        values.insert(section.isEmpty() ? key : section + QLatin1Char('/') + key, value);
    }
    return values;
}

// Where values come from, last word last: the file, then the environment.
class Sources {
public:
    Sources(const QString &file, const QProcessEnvironment &env) : m_file(file), m_env(env)
    {
        if (!file.isEmpty() && (QFileInfo::exists(file) || QFileInfo(file).isSymLink()))
            m_settings = readSettingsFile(file);
    }

    QString text(const Setting &s, const QString &compiled) const
    {
        QString value = compiled;
        const QString key = QString::fromLatin1(s.key);
        if (m_settings.contains(key)) {
            value = m_settings.value(key);
            check(s, value, QStringLiteral("в файле настроек %1, ключ %2").arg(m_file, key));
        }
        if (m_env.contains(QString::fromLatin1(s.variable))) {
            value = m_env.value(QString::fromLatin1(s.variable));
            check(s, value, QStringLiteral("в переменной окружения %1").arg(QString::fromLatin1(s.variable)));
        }
        return value;
    }
    int port(const Setting &s, int compiled) const { return text(s, QString::number(compiled)).trimmed().toInt(); }
    bool has(const Setting &s) const
    {
        return inFile(s) || m_env.contains(QString::fromLatin1(s.variable));
    }
    bool inFile(const Setting &s) const { return m_settings.contains(QString::fromLatin1(s.key)); }
    const QString &file() const { return m_file; }

private:
    static void check(const Setting &s, const QString &value, const QString &where)
    {
        static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
        static const QRegularExpression ipv6(QStringLiteral("^[0-9A-Fa-f:.]*:[0-9A-Fa-f:.]*$"));
        QString expected;
        if (s.kind == Kind::Port) {
            bool ok = false;
            const int port = value.trimmed().toInt(&ok);
            if (!ok || port < 1 || port > 65535)
                expected = QStringLiteral("номер порта от 1 до 65535");
        } else if (s.kind == Kind::Host) {
            if (!hostName.match(value).hasMatch() && !ipv6.match(value).hasMatch())
                expected = QStringLiteral("одно имя сервера или его IP-адрес");
        } else if (s.kind == Kind::Url) {
            const QUrl url(value, QUrl::StrictMode);
            if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
                || url.host().isEmpty() || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
                expected = QStringLiteral("адрес вида http://сервер/ или https://сервер/");
        }
        if (!expected.isEmpty())
            throw VardexError(QStringLiteral("Неверная настройка %1: значение \"%2\", ожидается %3.").arg(where, value, expected));
    }

    QString m_file;
    QProcessEnvironment m_env;
    QHash<QString, QString> m_settings;
};

const Setting kDbHost{"database/host", "VARDEX_DB_HOST", Kind::Host};
const Setting kDbPort{"database/port", "VARDEX_DB_PORT", Kind::Port};
const Setting kDbIntranetHost{"database/intranet_host", "VARDEX_DB_INTRANET_HOST", Kind::Host};
const Setting kDbIntranetPort{"database/intranet_port", "VARDEX_DB_INTRANET_PORT", Kind::Port};
const Setting kDbPassword{"database/password", "VARDEX_DB_PASSWORD", Kind::Text};
const Setting kFilesUrl{"files/url", "VARDEX_FILES_URL", Kind::Url};
const Setting kSmtpHost{"mail/host", "VARDEX_SMTP_HOST", Kind::Host};
const Setting kSmtpPort{"mail/port", "VARDEX_SMTP_PORT", Kind::Port};
const Setting kSmtpUser{"mail/user", "VARDEX_SMTP_USER", Kind::Text};
const Setting kSmtpPassword{"mail/password", "VARDEX_SMTP_PASSWORD", Kind::Text};
const Setting kSmtpCa{"mail/ca_file", "VARDEX_SMTP_CA", Kind::Text};
const Setting kSiteUrl{"site/url", "VARDEX_SITE_URL", Kind::Url};

} // namespace

Config Config::load(const QString &settingsFile, const QProcessEnvironment &env)
{
    const Sources from(settingsFile, env);
    static const char16_t stored[] = {VARDEX_CFG_DB_PASSWORD_STORED};

    Config c;
    c.dbHost = from.text(kDbHost, QStringLiteral(VARDEX_CFG_DB_HOST));
    c.dbPort = from.port(kDbPort, VARDEX_CFG_DB_PORT);
    c.dbIntranetHost = from.text(kDbIntranetHost, QStringLiteral(VARDEX_CFG_DB_INTRANET_HOST));
    c.dbIntranetPort = from.port(kDbIntranetPort, VARDEX_CFG_DB_INTRANET_PORT);
    c.dbPasswordOverridden = from.has(kDbPassword);
    c.dbPasswordPlain = from.text(kDbPassword, QString());
    c.dbPasswordStored = QString::fromUtf16(stored, std::size(stored));
    c.dbPasswordKey = VARDEX_CFG_DB_PASSWORD_KEY;
    QString files = QStringLiteral(VARDEX_CFG_FILES_URL);
    if (files.isEmpty())
        files = QStringLiteral("http://") + c.dbHost + QStringLiteral(":17002/");
    c.filesUrl = from.text(kFilesUrl, files);
    if (!c.filesUrl.endsWith(QLatin1Char('/')))
        c.filesUrl += QLatin1Char('/');
    c.smtpHost = from.text(kSmtpHost, QStringLiteral(VARDEX_CFG_SMTP_HOST));
    c.smtpPort = from.port(kSmtpPort, VARDEX_CFG_SMTP_PORT);
    c.smtpUser = from.text(kSmtpUser, QStringLiteral(VARDEX_CFG_SMTP_USER));
    c.smtpPassword = from.text(kSmtpPassword, QStringLiteral(VARDEX_CFG_SMTP_PASSWORD));
    c.smtpCaFile = from.text(kSmtpCa, QStringLiteral(VARDEX_CFG_SMTP_CA));
    c.siteUrl = from.text(kSiteUrl, QStringLiteral(VARDEX_CFG_SITE_URL));
    // a password in a file others may change (or read) is as good as theirs
    if (from.inFile(kDbPassword) || from.inFile(kSmtpPassword)) {
        const QFile::Permissions loose = QFile::WriteGroup | QFile::WriteOther | QFile::ReadOther;
        if (QFile::permissions(from.file()) & loose)
            c.warnings << QStringLiteral("Файл настроек %1 содержит пароль, а читать или изменять его могут другие "
                                         "пользователи. Ограничьте права: chmod 640 и группа экспертов.").arg(from.file());
    }
    return c;
}

Config Config::fromEnvironment()
{
    const auto env = QProcessEnvironment::systemEnvironment();
    return load(env.value(QStringLiteral("VARDEX_CONFIG"), defaultSettingsFile()), env);
}

const Config &Config::get()
{
    static const Config config = fromEnvironment();
    return config;
}

void setApplicationIdentity()
{
    const auto location = [](QStandardPaths::StandardLocation kind) { return QStandardPaths::writableLocation(kind); };
    QCoreApplication::setApplicationName(QStringLiteral("Vardex"));
    const QString oldData = location(QStandardPaths::AppDataLocation), oldCache = location(QStandardPaths::CacheLocation);
    const QString oldSettings = QSettings().fileName();
    QCoreApplication::setOrganizationName(QStringLiteral("Vetlan"));
    const auto moveOnce = [](const QString &from, const QString &to) {
        if (from == to || !QFileInfo::exists(from) || QFileInfo::exists(to))
            return;
        QDir().mkpath(QFileInfo(to).path());
        QDir().rename(from, to);
    };
    moveOnce(oldData, location(QStandardPaths::AppDataLocation));
    moveOnce(oldCache, location(QStandardPaths::CacheLocation));
    moveOnce(oldSettings, QSettings().fileName());
}

bool makePrivateFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

void makePrivateFile(const QString &path)
{
    // through a descriptor opened without following links: a planted link's target keeps its mode
    const int fd = PrivateFiles::openRegular(path);
    if (fd < 0)
        return;
    ::fchmod(fd, 0600);
    ::close(fd);
}

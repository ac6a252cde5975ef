#include "data/Config.h"

#include <QProcessEnvironment>

#include "BuildConfig.h"

namespace {

QString envText(const QProcessEnvironment &env, const char *name, const QString &fallback)
{
    return env.contains(QString::fromLatin1(name)) ? env.value(QString::fromLatin1(name)) : fallback;
}

int envInt(const QProcessEnvironment &env, const char *name, int fallback)
{
    bool ok = false;
    const int value = env.value(QString::fromLatin1(name)).toInt(&ok);
    return ok ? value : fallback;
}

} // namespace

Config Config::fromEnvironment()
{
    const auto env = QProcessEnvironment::systemEnvironment();
    static const char16_t stored[] = {VARDEX_CFG_DB_PASSWORD_STORED};

    Config c;
    c.dbHost = envText(env, "VARDEX_DB_HOST", QStringLiteral(VARDEX_CFG_DB_HOST));
    c.dbPort = envInt(env, "VARDEX_DB_PORT", VARDEX_CFG_DB_PORT);
    c.dbIntranetHost = envText(env, "VARDEX_DB_INTRANET_HOST", QStringLiteral(VARDEX_CFG_DB_INTRANET_HOST));
    c.dbIntranetPort = envInt(env, "VARDEX_DB_INTRANET_PORT", VARDEX_CFG_DB_INTRANET_PORT);
    c.dbPasswordOverridden = env.contains(QStringLiteral("VARDEX_DB_PASSWORD"));
    c.dbPasswordPlain = env.value(QStringLiteral("VARDEX_DB_PASSWORD"));
    c.dbPasswordStored = QString::fromUtf16(stored, std::size(stored));
    c.dbPasswordKey = VARDEX_CFG_DB_PASSWORD_KEY;
    QString files = QStringLiteral(VARDEX_CFG_FILES_URL);
    if (files.isEmpty())
        files = QStringLiteral("http://") + c.dbHost + QStringLiteral(":17002/");
    c.filesUrl = envText(env, "VARDEX_FILES_URL", files);
    if (!c.filesUrl.endsWith(QLatin1Char('/')))
        c.filesUrl += QLatin1Char('/');
    c.smtpHost = envText(env, "VARDEX_SMTP_HOST", QStringLiteral(VARDEX_CFG_SMTP_HOST));
    c.smtpPort = envInt(env, "VARDEX_SMTP_PORT", VARDEX_CFG_SMTP_PORT);
    c.smtpUser = envText(env, "VARDEX_SMTP_USER", QStringLiteral(VARDEX_CFG_SMTP_USER));
    c.smtpPassword = envText(env, "VARDEX_SMTP_PASSWORD", QStringLiteral(VARDEX_CFG_SMTP_PASSWORD));
    c.smtpCaFile = envText(env, "VARDEX_SMTP_CA", QStringLiteral(VARDEX_CFG_SMTP_CA));
    c.siteUrl = envText(env, "VARDEX_SITE_URL", QStringLiteral(VARDEX_CFG_SITE_URL));
    return c;
}

const Config &Config::get()
{
    static const Config config = fromEnvironment();
    return config;
}

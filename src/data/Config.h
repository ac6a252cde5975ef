#pragma once
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Deployment values, each taken from the last of: compiled in < the settings file
// (/etc/vardex/vardex.conf, or the file VARDEX_CONFIG names) < VARDEX_* environment variables.
// Read once, on first use; a bad value raises VardexError naming where it came from.
struct Config {
    QString dbHost;
    int dbPort = 17001;
    QString dbIntranetHost;
    int dbIntranetPort = 3306;
    QString dbPasswordPlain;       // VARDEX_DB_PASSWORD; when set it replaces the stored string
    bool dbPasswordOverridden = false;
    QString dbPasswordStored;      // 16 UTF-16 code units, shifted by dbPasswordKey
    int dbPasswordKey = 0;
    QString filesUrl;              // file-server base address, ends with "/"
    QString smtpHost;
    int smtpPort = 465;
    QString smtpUser;
    QString smtpPassword;
    QString smtpCaFile;            // empty: the system's CA store
    QString siteUrl;
    QStringList warnings;          // said at start: e.g. a password in a file others may change

    static const Config &get();
    static Config fromEnvironment();
    static Config load(const QString &settingsFile, const QProcessEnvironment &env);
    static QString defaultSettingsFile() { return QStringLiteral("/etc/vardex/vardex.conf"); }
};

// The program's name and maker, which place its settings, drafts, cache and log in the user's
// folders (~/.config/Vetlan, ~/.local/share/Vetlan/Vardex, ~/.cache/Vetlan/Vardex). Files an
// earlier version kept under the bare program name are moved there once, drafts included.
void setApplicationIdentity();

// The program's own folders and files hold drafts, scans and the log: readable by their user only
// (0700 folders, 0600 files), whatever the umask. A folder is made with its parents.
bool makePrivateFolder(const QString &path);
void makePrivateFile(const QString &path);

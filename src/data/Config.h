#pragma once
#include <QString>

// Deployment values: compiled in, overridable by VARDEX_* environment variables for the local
// demo and the tests. Read once, on first use.
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

    static const Config &get();
    static Config fromEnvironment();
};

#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// The tests' own view of the local services: a second database connection for setting up and
// checking rows, and the folders of the file server and the mail server.
namespace Fixture {

// The database as the test program wants it: our schema ("utf8mb4", the default) or a centre's
// older one (VARDEX_TEST_SCHEMA=utf8mb3 or cp1251: every table in that character set, and a
// strict server). Made when the fixture first connects.
QString schemaVariant();
QSqlDatabase db();
// The text without the characters the variant's tables cannot hold; and those characters, once each.
QString holdable(const QString &text);
QString unholdable(const QString &text);
void exec(const QString &sql);                 // fails the whole run on an SQL error
// As root over the server's socket: what the workstation's account may not do.
void rootSql(const QString &sql);
QString rootScalar(const QString &sql);
QVariant scalar(const QString &sql);
QStringList rows(const QString &sql);          // each row's values joined by "|"
void resetAll();                               // empties every table, the drafts and the scan cache
void loadDemo();                               // empties every table, then loads the demo data
void restartDatabase();                        // stops and starts the database server; data kept
void stopDatabase();                           // the server gone away
void startDatabase();                          // and back
void stopFiles();                              // the file server gone away (connections refused)
void startFiles();                             // and back, with the files it had
QString sourceDir();
QString filesRoot();
QString lettersDir();

} // namespace Fixture

// The test database behind a proxy that breaks the link at the next commit when armed: "lost"
// (the commit never arrives) or "reply" (it is done, its answer never comes back).
class CutProxy {
public:
    CutProxy();
    ~CutProxy();
    int port() const { return m_port; }
    void arm(const QString &mode);
    bool fired() const;   // the armed cut has happened

private:
    class QProcess *m_process;
    QString m_armFile;
    int m_port = 0;
};

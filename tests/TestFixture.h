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
QVariant scalar(const QString &sql);
QStringList rows(const QString &sql);          // each row's values joined by "|"
void resetAll();                               // empties every table, the drafts and the scan cache
void loadDemo();                               // empties every table, then loads the demo data
void restartDatabase();                        // stops and starts the database server; data kept
void stopDatabase();                           // the server gone away
void startDatabase();                          // and back
QString sourceDir();
QString filesRoot();
QString lettersDir();

} // namespace Fixture

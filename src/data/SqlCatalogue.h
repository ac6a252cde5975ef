#pragma once
#include <QList>
#include <QStringList>

#include "data/NamedQuery.h"

// Every named query of the data module: its SQL, line by line, and its declared parameters.
// Windows never build SQL of their own; the few statements made at run time are built by the
// functions below and run through the work query.
struct QueryDef {
    QString name;
    QStringList lines;
    QList<ParamDecl> params;
};

const QList<QueryDef> &sqlCatalogue();

namespace RuntimeSql {
QStringList permissions();
QStringList updateVersion();
QStringList countAdditionalData(int userId);
QStringList insertAdditionalData(int userId);
QStringList deleteSubjectAreas(int userId);
QStringList insertSubjectAreas(int userId, const QList<int> &subjectIds);
// The literal text as a column in `charset` would hold it, read back (a character it cannot hold
// comes back as "?"). `literal` is already escaped. `charset` comes from the server and goes into
// the text as a name: anything but letters, digits and "_" gives no statement (empty list).
QStringList convertThrough(const QString &literal, const QString &charset);
}

#include "data/SessionData.h"

#include "data/ADataER.h"
#include "data/NamedQuery.h"
#include "data/SqlCatalogue.h"

namespace SessionData {

namespace {
Announcement read(const QString &name, bool withActive)
{
    NamedQuery *q = DataER->query(name)->reopen();
    Announcement a;
    if (q->recordCount() > 0) {
        a.shown = withActive && q->field(QStringLiteral("isActive")).toInt() == 1;
        a.body = q->field(QStringLiteral("BodyAdv")).toString();
        a.canvas = q->field(QStringLiteral("ColorCanvas")).toInt();
    }
    q->close();
    return a;
}
} // namespace

Announcement announcement()
{
    return read(QStringLiteral("isViewAnn"), true);
}

Announcement latestAnnouncement()
{
    return read(QStringLiteral("GETadv"), false);
}

QList<QPair<int, QString>> subjectAreas()
{
    NamedQuery *q = DataER->query(QStringLiteral("GETallSubjectsEXP"))->reopen();
    const QList<QPair<int, QString>> out = q->idNames();
    q->close();
    return out;
}

namespace {
NamedQuery *runtime(const QStringList &sql)
{
    NamedQuery *q = DataER->emptySQL;
    q->close();
    q->setSQL(sql);
    q->open();
    return q;
}
} // namespace

QList<QPair<QString, int>> permissions()
{
    NamedQuery *q = runtime(RuntimeSql::permissions());
    QList<QPair<QString, int>> rows;
    for (q->first(); !q->eof(); q->next())
        rows.append({q->field(QStringLiteral("MenuItem")).toString(), q->field(QStringLiteral("permission")).toInt()});
    q->close();
    return rows;
}

QString storedVersion()
{
    NamedQuery *q = runtime(RuntimeSql::updateVersion());
    const QString stored = q->recordCount() > 0 ? q->field(QStringLiteral("Version")).toString() : QString();
    q->close();
    return stored;
}

} // namespace SessionData

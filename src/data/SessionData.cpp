#include "data/SessionData.h"

#include "data/ADataER.h"
#include "data/DataOperations.h"
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


QList<QPair<QString, int>> permissions()
{
    QList<QPair<QString, int>> rows;
    for (const QVariantMap &row : runtimeRows(RuntimeSql::permissions()))
        rows.append({row.value(QStringLiteral("MenuItem")).toString(), row.value(QStringLiteral("permission")).toInt()});
    return rows;
}

QString storedVersion()
{
    const QList<QVariantMap> rows = runtimeRows(RuntimeSql::updateVersion());
    return rows.isEmpty() ? QString() : rows.first().value(QStringLiteral("Version")).toString();
}

} // namespace SessionData

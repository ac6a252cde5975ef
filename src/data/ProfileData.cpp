#include "data/ProfileData.h"

#include "data/ADataER.h"
#include "data/DataOperations.h"
#include "data/NamedQuery.h"
#include "data/SqlCatalogue.h"

namespace ProfileData {

std::optional<Personal> personal(int expert)
{
    const QList<QVariantMap> rows = queryRows(QStringLiteral("GeneralData"), {{QStringLiteral("userID"), expert}});
    if (rows.isEmpty())
        return std::nullopt;
    const QVariantMap &r = rows.first();
    return Personal{r.value(QStringLiteral("email")).toString(), r.value(QStringLiteral("surname")).toString(),
                    r.value(QStringLiteral("name")).toString(), r.value(QStringLiteral("patronymic")).toString(),
                    r.value(QStringLiteral("phone")).toString()};
}

void savePersonal(int expert, const Personal &p)
{
    queryExec(QStringLiteral("GeneralDataUPD"),
              {{QStringLiteral("id"), expert}, {QStringLiteral("surname"), p.surname}, {QStringLiteral("name"), p.name},
               {QStringLiteral("patronymic"), p.patronymic}, {QStringLiteral("phone"), p.phone}});
}

namespace {

// The statements' parameter names where they differ from the columns.
QString parameterOf(const QString &column)
{
    if (column == QLatin1String("areasID"))
        return QStringLiteral("areaID");
    if (column == QLatin1String("academicDegreeID"))
        return QStringLiteral("degreeID");
    return column;
}

} // namespace

QVariantMap additional(int expert)
{
    const QList<QVariantMap> count = runtimeRows(RuntimeSql::countAdditionalData(expert));
    if (count.isEmpty() || count.first().value(QStringLiteral("kol")).toInt() <= 0)
        insertAdditional(expert);
    const QList<QVariantMap> rows = queryRows(QStringLiteral("GETSubjectsEXPadd"), {{QStringLiteral("userID"), expert}});
    return rows.isEmpty() ? QVariantMap() : rows.first();
}

void insertAdditional(int expert)
{
    runtimeExec(RuntimeSql::insertAdditionalData(expert));
}

void saveAdditional(int expert, Part part, const Values &values)
{
    static const char *const statement[] = {"UPDadress", "UPDbank", "UPDpassport", "UPDpost"};
    QueryParams params;
    for (const auto &[column, value] : values)
        params.append({parameterOf(column), value});
    params.append({QStringLiteral("userID"), expert});
    queryExec(QString::fromLatin1(statement[int(part)]), params);
}

NamedQuery *areas()
{
    return DataER->query(QStringLiteral("GETarea"));
}

NamedQuery *degrees()
{
    return DataER->query(QStringLiteral("academicdegree"));
}

void readLookups()
{
    areas()->reopen();
    degrees()->reopen();
}

QList<NamedQuery *> queries()
{
    return {areas(), degrees()};
}

} // namespace ProfileData

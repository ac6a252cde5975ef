#pragma once
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <optional>

class NamedQuery;

// What the profile windows read and write, by name and type: the statements stay here.
namespace ProfileData {
struct Personal {
    QString email;   // shown, never written
    QString surname, name, patronymic, phone;
};
std::optional<Personal> personal(int expert);
void savePersonal(int expert, const Personal &p);

// The additional record's values by column; the record is made (empty, dated today) the first
// time it is asked for.
QVariantMap additional(int expert);
// Makes the empty record; a second, racing one is a no-op where the table has its unique key.
void insertAdditional(int expert);
// The four parts the window saves by their own buttons; the values are keyed by column.
enum class Part { Address, Bank, Passport, Work };
using Values = QList<QPair<QString, QVariant>>;
void saveAdditional(int expert, Part part, const Values &values);

NamedQuery *areas();     // the area lookup's query
NamedQuery *degrees();   // the academic degree lookup's query
void readLookups();
QList<NamedQuery *> queries();   // every statement the window opens, to close with it
}

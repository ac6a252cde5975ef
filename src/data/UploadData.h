#pragma once
#include <QList>
#include <QPair>
#include <QString>

class NamedQuery;

// What the upload window reads, by name and type: the statements and their parameters stay here.
namespace UploadData {
NamedQuery *disciplines();   // the lookup's query
void readDisciplines(int expert);
QList<QPair<int, QString>> areas();   // id and name, in the statement's order
// The uploaded works of a discipline, of one area (0: all of them): the grid's query, opened.
NamedQuery *readUploads(int discipline, int area);
QList<NamedQuery *> queries();   // every statement the window opens, to close with it
}

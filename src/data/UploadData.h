#pragma once
#include <QList>
#include <QPair>
#include <QString>
#include <functional>

#include "data/DataOperations.h"

class NamedQuery;

// What the upload window reads, by name and type: the statements and their parameters stay here.
namespace UploadData {
constexpr qint64 kMaxUploadBytes = 52428800;   // 50 MiB: what the file server takes
NamedQuery *disciplines();   // the lookup's query
void readDisciplines(int expert);
QList<QPair<int, QString>> areas();   // id and name, in the statement's order
// The uploaded works of a discipline, of one area (0: all of them): the grid's query, opened.
NamedQuery *readUploads(int discipline, int area);
// A participant's number as typed or as a file's name: a positive whole number.
bool isParticipantNumber(const QString &text);
// Sends a checked work's file under a name reserved for it (as uploadCheckedWork does) and returns
// the stored name; raises the file server's or the database's failure, nothing kept.
// The file goes under its own name (fileName, when given, else the path's last part).
QString send(int area, int participant, int discipline, const QString &path,
             const std::function<void(qint64 done, qint64 total)> &progress = {}, const QString &fileName = {},
             const NamesWait &waiting = {});
// Deletes an upload's row, and its file on the server when no other row names it; a file server
// that fails leaves both (the error names the file).
void remove(int id, const QString &storedName);
QList<NamedQuery *> queries();   // every statement the window opens, to close with it
}

#pragma once
#include <QList>
#include <QPair>
#include <QString>

// What the shell and the profile windows read, by name and type: the statements stay here.
namespace SessionData {
struct Announcement {
    bool shown = false;   // the centre asks for it to be shown at login
    QString body;         // RTF
    int canvas = 0;       // background colour as stored
};
Announcement announcement();          // the one the login shows (any: an empty one)
Announcement latestAnnouncement();    // the one "Объявление" shows
QList<QPair<int, QString>> subjectAreas();   // id and name of every subject area
QList<QPair<QString, int>> permissions();    // the experts' role: menu item and its permission
QString storedVersion();                     // the version the centre publishes ("" when none)
}

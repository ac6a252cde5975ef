#pragma once
#include <QString>

// A PDF header at the start and its end marker in the last 1 KiB: a whole PDF, not a cut one.
bool isWholePdf(const QString &path);

// Which saved file in a download folder holds which stored work, so that the scoring window can
// show the copy already on disk. A list in the program's own data folder (the download folder
// holds the works only); the last entry for a name wins.
namespace SavedWorks {
void record(const QString &folder, const QString &savedName, const QString &bodyFile);
QString find(const QString &folder, const QString &bodyFile);   // a whole PDF's path, or ""
}

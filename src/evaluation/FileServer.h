#pragma once
#include <QString>

// The address of a document on the file server: base + folder + "/" + the file name,
// percent-encoded so that blanks, "#", "?" and "%" in a stored name fetch that very file.
QString documentAddress(const QString &folder, const QString &fileName);

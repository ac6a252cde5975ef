#pragma once
#include <QString>

// The address of a document on the file server: base + folder + "/" + the file name,
// percent-encoded so that blanks, "#", "?" and "%" in a stored name fetch that very file.
QString documentAddress(const QString &folder, const QString &fileName);

// A single path component made from any text: / \ : * ? " < > | and control characters become
// "_", no leading dot, trimmed, at most kMaxSafeNameBytes bytes of UTF-8; never empty.
constexpr int kMaxSafeNameBytes = 200;
QString safeFileName(const QString &text);
// The longest start of the text that takes at most maxBytes bytes of UTF-8 (never half a character).
QString capUtf8(const QString &text, int maxBytes);

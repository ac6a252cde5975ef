#pragma once
#include <QString>

class QTextDocument;

// A small reader for the rich text the centre stores for its announcements: paragraphs, bold,
// italic, underline, font size, alignment, the colour table with \cf, \'hh escapes in the
// document's or the font's code page, \uN escapes; unknown destinations are skipped.
namespace Rtf {

bool isRtf(const QString &text);   // starts (after blanks) with "{\rtf"

// Replaces the document's content with the text: read as RTF when it is RTF, otherwise as plain
// text. The document's default font is kept for text that sets no font size.
// Only the first `limit` characters are read (an announcement of many megabytes would hold the
// window for minutes); a cut text ends with cutNote().
constexpr qsizetype kDefaultLimit = 2 * 1024 * 1024;
void load(QTextDocument &document, const QString &text, qsizetype limit = kDefaultLimit);
QString cutNote();

} // namespace Rtf

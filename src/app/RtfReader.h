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
void load(QTextDocument &document, const QString &text);

} // namespace Rtf

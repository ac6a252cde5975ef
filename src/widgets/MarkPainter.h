#pragma once
#include <QColor>

#include "data/ScanMarks.h"

class QPainter;

// Draws marks in a page's points (the painter set so that one unit is one point of the page):
// the same drawing on screen and in the checked copy.
namespace MarkPainter {
inline const QColor kRed{0xE0, 0x00, 0x00};   // reads on white, grey and yellowed paper alike
void draw(QPainter &painter, const ScanMark &mark);
}

#pragma once
#include <QPixmap>

// The program's pictures, drawn at run time: the centre's logo (560 x 464), the about box's
// emblem and the 16 x 16 connection lamps.
namespace Pictures {
QPixmap logo();
QPixmap emblem();
QPixmap lamp(bool connected);
}

// The same probe without the widget: builds, so the other one fails for the widget alone.
#include "data/ADataER.h"
#include <QObject>

int probe() { return QObject().objectName().size(); }

// Built against the data library alone: must fail, since no widget header is reachable there.
#include "data/ADataER.h"
#include <QWidget>

int probe() { return QWidget().width(); }

#include "ui/form1.h"

void Form1::ListView1_OLEDragDrop(const QStringList&) {}

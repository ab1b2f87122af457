#include "ui/form1.h"

void Form1::ListView1_KeyDown(int) {}
void Form1::ListView1_DblClick() {}
void Form1::ListView1_ItemClick() {}
void Form1::ListView1_MouseDown() {}
void Form1::ListView1_MouseUp() {}
void Form1::ListView1_MouseMove(const QPoint&, const QPoint&) {}
void Form1::PushButton7_Click() {}

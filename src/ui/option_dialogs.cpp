#include "ui/form1.h"

void Form1::PushButton4_Click() {}
void Form1::PushButton6_Click() {}
void Form1::PushButton10_Click() {}
void Form1::PushButton9_Click() {}

#include "ui/form1.h"

void Form1::PushButton1_Click() {}

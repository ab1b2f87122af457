#include "ui/form2.h"

Form2::Form2(QWidget* parent) : QWidget(parent) {}

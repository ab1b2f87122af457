// SPDX-License-Identifier: MIT
// Hover feedback: the hand over push buttons, the arrow elsewhere; neither replaces
// the busy pointer.
#include "ui/form1.h"

void Form1::HoverDefault() {
    if (IsBusy()) {
        return;
    }
    SetMousePointer(kPointerDefault);
}

void Form1::HoverButton() {
    if (IsBusy()) {
        return;
    }
    SetMousePointer(kPointerCustom);
}

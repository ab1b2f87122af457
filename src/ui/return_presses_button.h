// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

// Lets Return and Enter press the focused push button of a window, as Space does:
// buttons on the desktop the program was designed for take both keys, while Qt's
// buttons outside dialogs take only Space. Covers the push buttons the window holds
// when this is called.
void LetReturnPressButtons(QWidget& window);

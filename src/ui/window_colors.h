// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

// The system's button-face colour as a window background.
class QColor;
QColor ButtonFaceColor();

// Gives a window and its option buttons, check boxes, frames and labels the
// button-face colour; other controls keep theirs.
void ResetFormColors(QWidget& window);

// When the skin file "x/o.cjs" exists beside the program, colours the window as
// ResetFormColors does. The skin file's own format is not interpreted.
void ApplySkin(QWidget& window, const QString& programFolder);

// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where a window whose frame has the given size opens on a screen's available area:
// centred when the whole frame fits, at the area's top-left corner when it does not,
// so the window's title bar and left part are never off the screen.
QPoint OnScreenPosition(const QSize& frame, const QRect& available);

// Moves a top-level window to that position on the available area of its screen. A
// window that shows its controls through a ScrollableContent is first made small
// enough to fit there, and from then on keeps fitting its screen: once the window
// manager has added its frame, and when the screen or its available area changes.
void PlaceOnScreen(QWidget& window);

// The same on a given available area.
void PlaceInArea(QWidget& window, const QRect& available);

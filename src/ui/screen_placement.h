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

// The largest logical size whose pixels stay within a screen area Qt reports as `logical`
// at the scale `ratio`. Qt rounds both ways to the nearest pixel: 1366 pixels at 150 % read
// as 911 logical ones, and a window 911 wide is drawn 1367 pixels wide, one past the edge;
// 910 is what fits. Where the pixels could be one fewer than the logical size suggests
// (1919 pixels at 200 % also read as 960), the smaller is assumed.
QSize FittingSize(const QSize& logical, qreal ratio);

// Moves a top-level window to that position on the available area of its screen. A
// window that shows its controls through a ScrollableContent is first made small
// enough to fit there, and from then on keeps fitting its screen: once the window
// manager has added its frame, and when the screen or its available area changes.
void PlaceOnScreen(QWidget& window);

// The same on a given available area.
void PlaceInArea(QWidget& window, const QRect& available);

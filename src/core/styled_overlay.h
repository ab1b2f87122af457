// SPDX-License-Identifier: MIT
#pragma once

#include "core/canvas.h"
#include "core/stamp_style.h"

#include <QString>

// Draws `text` onto the picture loaded on `canvas` at `position` (one of the nine
// stamp_position names, compared exactly; any other draws nothing, as does an empty text),
// in the canvas's font family and style, with what `style` adds: a size and margin relative
// to the picture, an outline, a soft shadow, a box, a colour with alpha or chosen per
// picture. Unset members keep the canvas's point size, the window's margins and colour.
//
// Unlike OverlayText2 the stamp is one block whose lines are left-aligned with each other,
// and the whole drawn stamp (box, outline and shadow included) stays inside the picture at
// every position: one larger than the picture less its margins is scaled down to fit, and a
// margin never takes more than a quarter of the picture's width or height.
void OverlayStyledText(Canvas& canvas, const QString& text, const QString& position,
                       const StampStyle& style);

// The rectangle of the picture loaded on `canvas` (its whole picture when it holds a tile)
// that OverlayStyledText may change for these arguments: box, outline and shadow included,
// whichever colour the picture makes an automatic colour choose. Empty when nothing would
// be drawn.
QRect StyledStampExtent(const Canvas& canvas, const QString& text, const QString& position,
                        const StampStyle& style);

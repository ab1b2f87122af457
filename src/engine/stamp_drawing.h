// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_settings.h"

#include <QRect>
#include <QSize>

class Canvas;
class Dialogs;

// Draws the settings' text at their position on the picture loaded on `canvas`, whose font
// and colour are already set (ApplyStampFont). Settings without a style draw exactly as the
// window always has (OverlayText2, reporting a failing part through `dialogs`); a style
// draws through OverlayStyledText. A canvas holding a tile of a picture (Canvas::SetTile)
// gets the tile's part of what the whole picture would.
void DrawStamp(Canvas& canvas, const StampSettings& settings, Dialogs& dialogs);

// The rectangle of a picture of `pictureSize` that DrawStamp may change with `canvas`'s font
// and colour: every line of the text, and a styled stamp's box, outline and shadow. Empty
// when nothing would be drawn. Draws nothing and reports nothing.
QRect StampExtent(const Canvas& canvas, QSize pictureSize, const StampSettings& settings);

// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_settings.h"

class Canvas;
class Dialogs;

// Draws the settings' text at their position on the picture loaded on `canvas`, whose font
// and colour are already set (ApplyStampFont). Settings without a style draw exactly as the
// window always has (OverlayText2, reporting a failing part through `dialogs`); a style
// draws through OverlayStyledText.
void DrawStamp(Canvas& canvas, const StampSettings& settings, Dialogs& dialogs);

// SPDX-License-Identifier: MIT
#include "engine/stamp_settings.h"

#include "core/canvas.h"

void ApplyStampFont(Canvas& canvas, const StampSettings& settings) {
    canvas.SetFontName(settings.fontFamily);
    canvas.SetFontBold(settings.fontBold);
    canvas.SetFontItalic(settings.fontItalic);
    canvas.SetFontSize(settings.fontSize);
    canvas.SetFontStrikethru(settings.fontStrikeout);
    canvas.SetFontUnderline(settings.fontUnderline);
    canvas.ForeColor = settings.color;
}

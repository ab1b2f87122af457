// SPDX-License-Identifier: MIT
// Both runs draw in the stamp-text box's font and colour.
#include "engine/stamp_settings.h"
#include "ui/form1.h"
#include "ui/stamp_settings_from_window.h"
#include "util/error_trap.h"

void Form1::CopyStampFontToCanvas(ErrorTrap& trap, int firstLabel) {
    const StampSettings settings = StampSettingsFromWindow(*this);
    trap.Do(firstLabel, [&] { Picture1.SetFontName(settings.fontFamily); });
    trap.Do(firstLabel + 2, [&] { Picture1.SetFontBold(settings.fontBold); });
    trap.Do(firstLabel + 4, [&] { Picture1.SetFontItalic(settings.fontItalic); });
    trap.Do(firstLabel + 6, [&] { Picture1.SetFontSize(settings.fontSize); });
    trap.Do(firstLabel + 8, [&] { Picture1.SetFontStrikethru(settings.fontStrikeout); });
    trap.Do(firstLabel + 10, [&] { Picture1.SetFontUnderline(settings.fontUnderline); });
    trap.Do(firstLabel + 12, [&] { Picture1.ForeColor = settings.color; });
}

// SPDX-License-Identifier: MIT
// Both runs draw in the stamp-text box's font and colour.
#include "ui/form1.h"
#include "ui/stamp_text_box.h"
#include "util/error_trap.h"

void Form1::CopyStampFontToCanvas(ErrorTrap& trap, int firstLabel) {
    trap.Do(firstLabel, [&] { Picture1.SetFontName(Text4->FontName()); });
    trap.Do(firstLabel + 2, [&] { Picture1.SetFontBold(Text4->FontBold()); });
    trap.Do(firstLabel + 4, [&] { Picture1.SetFontItalic(Text4->FontItalic()); });
    trap.Do(firstLabel + 6, [&] { Picture1.SetFontSize(Text4->FontSize()); });
    trap.Do(firstLabel + 8, [&] { Picture1.SetFontStrikethru(Text4->FontStrikethru()); });
    trap.Do(firstLabel + 10, [&] { Picture1.SetFontUnderline(Text4->FontUnderline()); });
    trap.Do(firstLabel + 12, [&] { Picture1.ForeColor = Text4->ForeColor(); });
}

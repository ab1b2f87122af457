// SPDX-License-Identifier: MIT
// Restores every stamping choice from the settings store into the window's controls.
#include "core/stamp_modes.h"
#include "engine/stored_stamp_settings.h"
#include "ui/color_swatch.h"
#include "ui/combo_text.h"
#include "ui/form1.h"
#include "ui/stamp_text_box.h"
#include "util/error_trap.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

namespace {

constexpr quint32 kWhite = 0xFFFFFF;

}  // namespace

void Form1::RestoreSettings(ErrorTrap& trap) {
    // Read once; a value the window cannot take fails its step with the error the
    // step's own conversion raised.
    const StoredStampSettings stored = ReadStoredStampSettings(store, env);
    const QStringList positions = StampPositionTexts();
    for (int i = 0; i < positions.size(); ++i) {
        trap.Do(134 + 2 * i, [&] {
            Combo2->addItem(positions.at(i));
            Combo2->setCurrentIndex(-1);
        });
    }
    trap.Do(152, [&] {
        SelectComboText(*Combo2, stored.position.Take());
        Combo2_Click();
    });
    trap.Do(154, [&] { Picture2->SetBackColor(stored.color.Take()); });
    trap.Do(156, [&] { Text4->SetForeColor(Picture2->BackColor()); });
    if (trap.Test(158, [&] { return Text4->ForeColor() == kWhite; })) {
        trap.Do(160, [&] { Text4->SetBackColor(0); });
    } else {
        trap.Do(162, [&] { Text4->SetBackColor(kWhite); });
    }
    trap.Do(164, [&] { Text4->SetFontName(stored.fontFamily.Take()); });
    trap.Do(166, [&] { Text4->SetFontBold(stored.fontBold.Take()); });
    trap.Do(168, [&] { Text4->SetFontItalic(stored.fontItalic.Take()); });
    trap.Do(170, [&] { Text4->SetFontSize(stored.fontSize.Take()); });
    trap.Do(172, [&] { Text4->SetFontStrikethru(stored.fontStrikeout.Take()); });
    trap.Do(174, [&] { Text4->SetFontUnderline(stored.fontUnderline.Take()); });
    trap.Do(176, [&] { Text4->SetText(QString::fromLatin1(kPlaceholderText)); });
    const QStringList modes = StampModeTexts();
    for (int i = 0; i < modes.size(); ++i) {
        trap.Do(178 + 2 * i, [&] {
            Combo1->addItem(modes.at(i));
            Combo1->setCurrentIndex(-1);
        });
    }
    trap.Do(192, [&] {
        SelectComboText(*Combo1, stored.mode.Take());
        Combo1_Click();
    });
    trap.Do(194, [&] { StampCombo(); });
    trap.Do(196, [&] { Slider1->setValue(stored.quality.Take()); });
    trap.Do(198, [&] { Text1->setText(stored.outputFolder.Take()); });
}

// SPDX-License-Identifier: MIT
// Restores every stamping choice from the settings store into the window's controls.
#include "core/stamp_modes.h"
#include "ui/color_swatch.h"
#include "ui/combo_text.h"
#include "ui/form1.h"
#include "settings/settings_keys.h"
#include "ui/stamp_text_box.h"
#include "util/error_trap.h"
#include "util/paths.h"
#include "util/vb_convert.h"
#include "util/vb_error.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

namespace {

QString Key(const char* name) {
    return QString::fromLatin1(name);
}

constexpr quint32 kWhite = 0xFFFFFF;

}  // namespace

void Form1::RestoreSettings(ErrorTrap& trap) {
    const QStringList positions = StampPositionTexts();
    for (int i = 0; i < positions.size(); ++i) {
        trap.Do(134 + 2 * i, [&] {
            Combo2->addItem(positions.at(i));
            Combo2->setCurrentIndex(-1);
        });
    }
    trap.Do(152, [&] {
        SelectComboText(*Combo2, store.GetSetting(Key(key::kPosition), positions.first()));
        Combo2_Click();
    });
    trap.Do(154, [&] {
        Picture2->SetBackColor(static_cast<qint64>(RoundHalfEven(
            ToDouble(store.GetSetting(Key(key::kFontColor), QStringLiteral("16777215"))))));
    });
    trap.Do(156, [&] { Text4->SetForeColor(Picture2->BackColor()); });
    if (trap.Test(158, [&] { return Text4->ForeColor() == kWhite; })) {
        trap.Do(160, [&] { Text4->SetBackColor(0); });
    } else {
        trap.Do(162, [&] { Text4->SetBackColor(kWhite); });
    }
    trap.Do(164, [&] {
        Text4->SetFontName(store.GetSetting(Key(key::kFontName), QStringLiteral("Arial")));
    });
    trap.Do(166, [&] {
        Text4->SetFontBold(
            IsTrueText(store.GetSetting(Key(key::kFontBold), QStringLiteral("True"))));
    });
    trap.Do(168, [&] {
        Text4->SetFontItalic(
            IsTrueText(store.GetSetting(Key(key::kFontItalic), QStringLiteral("False"))));
    });
    trap.Do(170, [&] {
        Text4->SetFontSize(ToInt16(store.GetSetting(Key(key::kFontSize), QStringLiteral("24"))));
    });
    trap.Do(172, [&] {
        Text4->SetFontStrikethru(
            IsTrueText(store.GetSetting(Key(key::kFontStrikeThruRead), QStringLiteral("False"))));
    });
    trap.Do(174, [&] {
        Text4->SetFontUnderline(
            IsTrueText(store.GetSetting(Key(key::kFontUnderLineRead), QStringLiteral("False"))));
    });
    trap.Do(176, [&] { Text4->SetText(QString::fromLatin1(kPlaceholderText)); });
    const QStringList modes = StampModeTexts();
    for (int i = 0; i < modes.size(); ++i) {
        trap.Do(178 + 2 * i, [&] {
            Combo1->addItem(modes.at(i));
            Combo1->setCurrentIndex(-1);
        });
    }
    trap.Do(192, [&] {
        SelectComboText(*Combo1, store.GetSetting(Key(key::kCombo1), modes.first()));
        Combo1_Click();
    });
    trap.Do(194, [&] { StampCombo(); });
    trap.Do(196, [&] {
        const qint32 value = ToInt32(store.GetSetting(Key(key::kSlider1), QStringLiteral("85")));
        if (value < Slider1->minimum() || value > Slider1->maximum()) {
            Raise(vberr::kInvalidPropertyValue);
        }
        Slider1->setValue(value);
    });
    trap.Do(198, [&] {
        const QString desktop = GetDesktopFolder(env);
        Text1->setText(store.GetSetting(Key(key::kOutputFolder), desktop));
    });
}

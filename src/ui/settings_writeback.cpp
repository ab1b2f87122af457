// SPDX-License-Identifier: MIT
// Each stamping control writes its key the moment it changes, under the spelling the
// stamp settings' declaration gives it.
#include "engine/stamp_setting_table.h"
#include "settings/settings_keys.h"
#include "ui/form1.h"
#include "util/error_trap.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

void Form1::Combo1_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.Combo1_Click"));
    trap.Do(100,
            [&] { store.SaveSetting(WrittenKey(key::kCombo1), Combo1->currentText()); });
    trap.Do(102, [&] { StampCombo(); });
}

void Form1::Combo2_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.Combo2_Click"));
    trap.Do(100,
            [&] { store.SaveSetting(WrittenKey(key::kPosition), Combo2->currentText()); });
}

void Form1::Slider1_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.Slider1_Click"));
    trap.Do(100, [&] {
        store.SaveSetting(WrittenKey(key::kSlider1), QString::number(Slider1->value()));
    });
}

void Form1::Text1_Change() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.Text1_Change"));
    trap.Do(100,
            [&] { store.SaveSetting(WrittenKey(key::kOutputFolder), Text1->text()); });
}

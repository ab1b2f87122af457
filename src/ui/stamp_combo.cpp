// SPDX-License-Identifier: MIT
// Fills the stamp-text box according to the chosen stamp mode.
#include "core/stamp_modes.h"
#include "core/stamp_text.h"
#include "engine/entry_stamp_text.h"
#include "ui/file_list_view.h"
#include "ui/form1.h"
#include "ui/stamp_text_box.h"
#include "util/error_trap.h"
#include "util/paths.h"

#include <QComboBox>

void Form1::StampCombo() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.StampCombo"));
    const int mode = Combo1->currentIndex();
    if (trap.Test(100, [&] { return mode == 0; })) {
        trap.Do(102, [&] { Text4->SetText(QString::fromLatin1(kPlaceholderText)); });
    } else if (trap.Test(104, [&] { return mode == 1; })) {
        trap.Do(106, [&] { Text4->SetText(TimeText(env.now(), env.locale)); });
    } else if (trap.Test(108, [&] { return mode == 2; })) {
        trap.Do(110, [&] { Text4->SetText(DateText(env.now(), env.locale)); });
    } else if (trap.Test(112, [&] { return mode == 3; })) {
        trap.Do(114, [&] { Text4->SetText(DateTimeText(env.now(), env.locale)); });
    } else if (trap.Test(116, [&] { return mode >= 4; })) {
        trap.Do(118, [&] { Text4->SetText(QStringLiteral("Filename")); });
        if (trap.Test(120, [&] { return ListView1->Count() > 0; })) {
            const int selected = ListView1->SelectedIndex();
            if (trap.Test(122, [&] { return selected > 0; })) {
                trap.Do(124, [&] { StampFilename(selected); });
            } else {
                trap.Do(126, [&] { StampFilename(1); });
            }
        }
    }
}

void Form1::StampFilename(int n) {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.StampFilename"));
    if (trap.Test(100, [&] { return ListView1->Count() == 0; })) {
        return;
    }
    // The engine chooses the text (EntryStampText); the labels stay the window's own.
    const int mode = Combo1->currentIndex();
    const auto stampEntryName = [&] {
        Text4->SetText(EntryStampText(mode, ListView1->ItemText(n), Text4->Text()));
    };
    if (trap.Test(102, [&] { return mode == 4; })) {
        trap.Do(104, stampEntryName);
    } else if (trap.Test(106, [&] { return mode == 5; })) {
        trap.Do(108, stampEntryName);
    } else if (trap.Test(110, [&] { return mode == 6; })) {
        trap.Do(112, stampEntryName);
    }
}

// SPDX-License-Identifier: MIT
// "Start Stamping": stamps every file of the list and writes each copy into the output
// folder under the source's name and in the source's format. The window's part of the
// run: its checks, messages, pointer and progress bar; the engine stamps each entry.
#include "engine/decode_after.h"
#include "engine/decode_ahead.h"
#include "engine/entry_road.h"
#include "engine/replace_check.h"
#include "ui/file_list_view.h"
#include "ui/form1.h"
#include "ui/progress_bar_text.h"
#include "ui/stamp_settings_from_window.h"
#include "ui/stamp_text_box.h"
#include "ui/window_progress.h"
#include "util/error_trap.h"
#include "util/file_ops.h"
#include "util/message_box.h"
#include "util/paths.h"

#include <QLineEdit>
#include <QProgressBar>

void Form1::PushButton2_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton2_Click"));
    if (trap.Test(100, [&] { return busy; })) {
        return;
    }
    trap.Do(102, [&] { busy = true; });

    enum class End { Done, NoFolder, NoFiles, Declined };
    End end = End::Done;
    if (trap.Test(104, [&] { return ListView1->Count() == 0; })) {
        end = End::NoFiles;
    } else if (trap.Test(106, [&] { return !IsFolder(Text1->text()); })) {
        end = End::NoFolder;
    } else if (trap.Test(106, [&] { return AnyReplacesSource(ListView1->Texts(), Text1->text()); })) {
        // The default output folder is easily the photos' own folder: ask before any
        // original is overwritten.
        const auto answer = MsgBox(
            dialogs,
            QStringLiteral("Some stamped copies would replace their original files in \"%1\"."
                           "\r\rReplace the original files?")
                .arg(Text1->text()),
            Dialogs::Buttons::YesNo, Dialogs::Icon::Question);
        if (answer != Dialogs::Button::Yes) {
            end = End::Declined;
        }
    }

    if (end == End::Done) {
        CopyStampFontToCanvas(trap, 108);
        QString savedText;
        trap.Do(122, [&] { savedText = Text4->Text(); });
        int n = 0;
        trap.Do(124, [&] { n = ListView1->Count(); });
        {
            // Ends with the loop, so no picture is held while "Done." shows.
            DecodeAhead decoder(DecodeAhead::WorkersForThisMachine());
            for (int i = 1; i <= n; ++i) {
                DecodeAfter(
                    decoder, [this](int j) { return ListView1->ItemText(j); },
                    [this] { return ListView1->Count(); }, i, n);
                StampEntry(trap, i, decoder);
            }
        }
        trap.Do(212, [&] { Text4->SetText(savedText); });
        trap.Do(214, [&] { SetMousePointer(kPointerDefault); });
        trap.Do(216, [&] { ProgressBar1->setValue(0); });
        trap.Do(218, [&] { SetProgressBarText(ProgressBar1, QStringLiteral("Progress Bar")); });
        trap.Do(220, [&] { MsgBox(dialogs, QStringLiteral("Done.")); });
    } else if (end == End::NoFolder) {
        trap.Do(222, [&] {
            MsgBox(dialogs, QStringLiteral("Folder does not exist. Please select another folder."));
        });
    } else if (end == End::NoFiles) {
        trap.Do(224, [&] { MsgBox(dialogs, QStringLiteral("No files added.")); });
    }
    trap.Do(226, [&] { busy = false; });
}

void Form1::StampEntry(ErrorTrap& trap, int i, DecodeAhead& ahead) {
    QString source;
    trap.Do(126, [&] { SetMousePointer(kPointerBusy); });
    // An entry removed during the run leaves nothing to stamp at its position.
    if (!trap.Do(128, [&] { source = ListView1->ItemText(i); })) {
        return;
    }
    trap.Do(130, [&] {
        ProgressBar1->setValue(qRound(static_cast<double>(i) / ListView1->Count() * 100.0));
    });
    trap.Do(132, [&] {
        SetProgressBarText(ProgressBar1, QStringLiteral("Processing: ") + FileNamePart(source));
    });
    trap.Do(134, [&] { YieldToWindow(); });
    trap.Do(136, [&] { StampFilename(i); });
    // The rest of the entry's road is the engine's; it reads the controls at the steps
    // that use them, as the user may change them while a converter wait yields.
    WindowProgress progress(ProgressBar1);
    const EntryRoad road{Picture1,
                         dialogs,
                         progress,
                         env.tempFolder,
                         [this] { return StampSettingsFromWindow(*this); },
                         [this] { return ListView1->Count(); },
                         &ahead};
    StampSourceSteps(trap, road, source);
}

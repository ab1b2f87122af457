// SPDX-License-Identifier: MIT
// The hidden preview button: stamps the first file of the list and shows it in the
// preview window in place of the main window. Nothing is written.
#include "core/overlay_text.h"
#include "engine/input_conversion.h"
#include "engine/picture_loader.h"
#include "ui/file_list_view.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/stamp_settings_from_window.h"
#include "ui/window_progress.h"
#include "util/error_trap.h"
#include "util/message_box.h"
#include "util/paths.h"
#include "util/temp_folder.h"

void Form1::PushButton5_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton5_Click"));
    if (trap.Test(100, [&] { return ListView1->Count() == 0; })) {
        trap.Do(156, [&] { MsgBox(dialogs, QStringLiteral("No files added.")); });
        return;
    }
    CopyStampFontToCanvas(trap, 102);
    trap.Do(116, [&] { YieldToWindow(); });
    trap.Do(118, [&] { SetMousePointer(kPointerBusy); });
    QString source;
    trap.Do(120, [&] { source = ListView1->ItemText(1); });
    trap.Do(122, [&] { StampFilename(1); });
    QString loadPath;
    trap.Do(124, [&] { loadPath = source; });
    if (trap.Test(126, [&] { return NeedsInputConversion(LowerExtension(source)); })) {
        // A folder of its own, so a preview started while a batch run waits for the
        // converter cannot delete or replace that run's files.
        QString tempFolder;
        trap.Do(128, [&] {
            tempFolder = EnsurePrivateFolder(env.tempFolder() + QStringLiteral("/preview"));
        });
        WindowProgress progress(ProgressBar1);
        loadPath = ConvertForLoading(progress, [this] { return ListView1->Count(); }, trap, 130,
                                     source, tempFolder);
    }
    // A picture that cannot be read is reported; the window still opens on what the
    // canvas holds, without a second stamp drawn over it.
    if (!loadPath.isEmpty() && trap.Do(146, [&] { Picture1.SetPicture(LoadPicture(loadPath)); })) {
        trap.Do(148, [&] {
            const StampSettings settings = StampSettingsFromWindow(*this);
            OverlayText2(Picture1, settings.text, settings.position, dialogs);
        });
    }
    trap.Do(150, [&] { SetMousePointer(kPointerDefault); });
    trap.Do(152, [&] {
        if (preview.isNull()) {
            preview = new Form2(this, env.programFolder, dialogs);
        }
        preview->ShowPicture(Picture1.Image());
    });
    trap.Do(154, [&] { hide(); });
}

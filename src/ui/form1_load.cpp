// SPDX-License-Identifier: MIT
// The main window's load sequence, run once before the window is shown.
#include "ui/file_list_view.h"
#include "ui/sample_files.h"
#include "ui/form1.h"
#include "settings/settings_keys.h"
#include "util/app_title.h"
#include "ui/cursor_file.h"
#include "util/error_trap.h"
#include "util/maker_site.h"
#include "util/paths.h"
#include "ui/window_colors.h"

#include <QIcon>

void Form1::Form_Load() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.Form_Load"));
    const QString handCursor = env.programFolder + QStringLiteral("/HAND-M.CUR");

    trap.Do(100, [&] { ApplySkin(*this, env.programFolder); });
    trap.Do(104, [&] { setWindowTitle(QStringLiteral("Velloran")); });
    trap.Do(104, [&] { setWindowIcon(QIcon(QStringLiteral(":/velloran/velloran.png"))); });
    trap.Do(104, [&] { SetApplicationTitle(); });
    if (trap.Test(106, [&] { return FileExists(handCursor); })) {
        trap.Do(108, [&] { SetCustomCursor(LoadCursorFile(handCursor)); });
    }
    trap.Do(110, [&] { MaybeOpenMakerSite(env, dialogs); });
    if (trap.Test(110, [&] { return store.GetSetting(key::kSampleList).isEmpty(); })) {
        trap.Do(110, [&] { RecordSampleFiles(store, env.programFolder); });
    }
    if (trap.Test(124, [&] { return store.GetSetting(key::kSampleList).isEmpty(); })) {
        trap.Do(124, [&] { RecordSampleFiles(store, env.programFolder); });
    }
    trap.Do(126, [&] { ListView1->setHeaderLabels({QStringLiteral("Image File(s)")}); });
    trap.Do(128, [&] { ListView1->setColumnWidth(0, 7000 / kTwips); });
    trap.Do(130, [&] { Picture1.SetWidth(10000); });
    trap.Do(132, [&] { Picture1.SetHeight(10000); });
    RestoreSettings(trap);
}

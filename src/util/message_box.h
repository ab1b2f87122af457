// SPDX-License-Identifier: MIT
#pragma once

#include "util/dialogs.h"

// Shows a message box; an empty title shows the application title, as every box
// without a caption of its own does.
Dialogs::Button MsgBox(Dialogs& dialogs, const QString& text,
                       Dialogs::Buttons buttons = Dialogs::Buttons::Ok,
                       Dialogs::Icon icon = Dialogs::Icon::None, const QString& title = QString());

// SPDX-License-Identifier: MIT
#include "util/message_box.h"

#include "util/app_title.h"

Dialogs::Button MsgBox(Dialogs& dialogs, const QString& text, Dialogs::Buttons buttons,
                       Dialogs::Icon icon, const QString& title) {
    return dialogs.messageBox(text, title.isEmpty() ? ApplicationTitle() : title, icon, buttons);
}

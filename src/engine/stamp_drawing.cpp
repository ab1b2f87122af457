// SPDX-License-Identifier: MIT
#include "engine/stamp_drawing.h"

#include "core/canvas.h"
#include "core/overlay_text.h"
#include "core/styled_overlay.h"

void DrawStamp(Canvas& canvas, const StampSettings& settings, Dialogs& dialogs) {
    if (settings.style) {
        OverlayStyledText(canvas, settings.text, settings.position, *settings.style);
        return;
    }
    OverlayText2(canvas, settings.text, settings.position, dialogs);
}

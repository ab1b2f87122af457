// SPDX-License-Identifier: MIT
#pragma once

#include "core/canvas.h"
#include "util/dialogs.h"

#include <QString>

// The nine stamp positions, as the position list shows them and the settings store them.
namespace stamp_position {
inline constexpr char16_t kUpperLeft[] = u"Upper-left";
inline constexpr char16_t kUpperRight[] = u"Upper-right";
inline constexpr char16_t kLowerLeft[] = u"Lower-left";
inline constexpr char16_t kLowerRight[] = u"Lower-right";
inline constexpr char16_t kCenterTop[] = u"Center-top";
inline constexpr char16_t kCenterLeft[] = u"Center-left";
inline constexpr char16_t kCenterRight[] = u"Center-right";
inline constexpr char16_t kCenterBottom[] = u"Center-bottom";
inline constexpr char16_t kCenter[] = u"Center";
}  // namespace stamp_position

// Draws `text` onto the picture loaded on `canvas`, anchored at `position` (the text of
// the position list at the moment of the call, compared exactly). The caller has loaded
// the picture and set the font and colour. An empty text or an unknown position draws
// nothing; a failing step is reported through `dialogs` and the remaining steps still run.
void OverlayText2(Canvas& canvas, const QString& text, const QString& position, Dialogs& dialogs);

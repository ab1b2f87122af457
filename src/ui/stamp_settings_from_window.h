// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_settings.h"

class Form1;

// The stamp settings as the window's controls hold them at this moment: the stamp-text
// box's text, font and colour, the mode and position lists, the quality slider and the
// output folder box. The one place that reads the controls for the engine.
StampSettings StampSettingsFromWindow(const Form1& form);

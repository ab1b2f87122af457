// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_settings.h"

#include <QString>
#include <QStringList>

struct Environment;
class SettingsStore;
struct StoredStampSettings;

// Where a stored value could not be used, one line each ("stored "FontSize" "x" cannot be
// used: 9 points").
using SettingsWarnings = QStringList;

// The settings the window's controls hold after its restore steps: each stored value, or,
// where the window's step fails, the value of the window's design (`designFontSize` for the
// font size) and a warning. The time texts are those of the environment's clock and locale.
StampSettings StartingStampSettings(const StoredStampSettings& stored, const Environment& env,
                                    double designFontSize, SettingsWarnings* warnings);
// The same, read from the store.
StampSettings StoredStartSettings(const SettingsStore& store, const Environment& env,
                                  double designFontSize, SettingsWarnings* warnings);
// The settings of a first start, with an empty store.
StampSettings BuiltinStartSettings(const Environment& env);

// The stamp-text box's text for a mode, as the window composes it at start-up; the
// file-name modes show "Filename" until a source is stamped.
QString ModeStartText(int mode, const Environment& env);

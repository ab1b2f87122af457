// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

struct CommandLine;
struct Environment;
class SettingsStore;

// Every stamping choice of one run, as the window's controls hold them after start-up:
// the engine's StampSettings, one spelling of each choice, and what only a command line
// adds. The output folder is PathText: a folder named on the command line need not be
// UTF-8.
struct StampChoices : StampSettings {
    bool isTemplate = false;  // text holds placeholders to expand per source
};

// Where a stored value could not be used, one line each, for warnings on standard error.
using SettingsWarnings = QStringList;

// The choices the window restores at start-up from the store, read as the window reads
// them (ReadStoredStampSettings); for a stored value the window cannot take, the same
// fallback (the control's value from the window's design, `designFontSize` for the font
// size) and a warning. The time texts are those of the environment's clock and locale.
StampChoices StoredChoices(const SettingsStore& store, const Environment& env,
                           double designFontSize, SettingsWarnings* warnings);
// The choices of a first start, with an empty store.
StampChoices BuiltinChoices(const Environment& env);

// Applies the command line's settings options (-o -m -t --template -p -f -c -q, and the
// style options --size --margin --outline --shadow --box). Any style option, and a colour
// with alpha or "auto", gives the choices a style; without them the choices hold none, and
// the copies are the window's own. Throws UsageError for a value it cannot take.
void ApplyOverrides(StampChoices& choices, const CommandLine& line, const Environment& env);

// The --mode and --position words, in list order, as the settings' declaration gives them.
QStringList ModeWords();
QStringList PositionWords();

// "Family[,size][,bold][,italic][,strikeout][,underline]" onto the choices: the text
// names the whole font, so a flag it leaves out is off; a size it leaves out keeps the
// current one. Throws UsageError.
void ApplyFontText(StampChoices& choices, const QString& text);
// The text that ApplyFontText reads back to the same font.
QString FontText(const StampChoices& choices);
// "#RRGGBB" or a colour name (as QColor knows them) as 0x00BBGGRR. Throws UsageError.
quint32 ParseColor(const QString& text);

// The effective settings, one "name: value" line each in the declaration's order, in the
// words of the options; the quality as the writers take it (ClampQuality). The style
// settings only when set.
QString SettingsText(const StampChoices& choices);

// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_setting_table.h"
#include "engine/stamp_settings.h"

#include <QList>
#include <QString>
#include <QStringList>

struct Environment;

// One settings option as a user typed it: its option and its value's text.
struct StampSettingWord {
    StampOption option;
    QString text;
};

// Reads the option words onto the settings. An option given twice keeps its last value;
// the words are then taken in the declaration's order, so "-t x --mode text" and
// "--mode text -t x" mean the same. Any style option, and a colour with alpha or "auto",
// gives the settings a style; without them the settings hold none, and the copies are the
// window's own. A template is checked here, before anything is read or written.
// Returns why a word was refused, naming its option ("" when every word was taken); the
// settings are then partly changed.
QString ApplyStampSettingWords(StampSettings& settings, const QList<StampSettingWord>& words,
                               const Environment& env);

// "Family[,size][,bold][,italic][,strikeout][,underline]" onto the settings: the text
// names the whole font, so a flag it leaves out is off; a size it leaves out keeps the
// current one. Returns why the text was refused ("" when taken; the settings unchanged).
QString ApplyFontText(StampSettings& settings, const QString& text);
// The text that ApplyFontText reads back to the same font.
QString FontText(const StampSettings& settings);

// The --mode and --position words, in list order, as the settings' declaration gives them.
QStringList ModeWords();
QStringList PositionWords();

// The effective settings, one "name: value" line each in the declaration's order, in the
// words of the options; the quality as the writers take it (ClampQuality). The style
// settings only when set.
QString StampSettingsText(const StampSettings& settings);

// One option's --help lines: "  -q, --quality N" (`nameAndArgument` is "quality N"), then
// its help text broken at blanks to fit 90 columns beside that; a first column wider than
// its place pushes the first line's text to its right.
QString OptionHelpLines(char shortName, const QString& nameAndArgument, const QString& help);

// The help lines of every settings option, in declaration order: "  -q, --quality N" and
// its help text, broken to fit a terminal of 90 columns.
QString StampOptionsHelpText();

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

struct CommandLine;
struct Environment;
class SettingsStore;

// Every stamping choice of one run, as the window's controls hold them after start-up:
// the mode number, the stamp-text box's text, the position text, the font and colour of
// the stamp-text box, the quality slider and the output-folder box.
struct StampChoices {
    int mode = 0;  // index into StampModeTexts()
    // The stamp-text box: CR LF between lines. Modes 1-3 hold the time texts taken once
    // at start-up; modes 4-6 are replaced per source.
    QString text;
    bool isTemplate = false;  // text holds placeholders to expand per source
    // The position list's text; empty when the stored text is none of the nine (the
    // window then draws nothing, and so does this program).
    QString position;
    QString fontName;
    double fontSize = 24;
    bool bold = true;
    bool italic = false;
    bool strikeout = false;
    bool underline = false;
    quint32 color = 0xFFFFFF;  // 0x00BBGGRR
    int quality = 85;
    // In its own bytes: a folder named on the command line need not be UTF-8.
    QByteArray outputFolder;
};

// Where a stored value could not be used, one line each, for warnings on standard error.
using SettingsWarnings = QStringList;

// The choices the window restores at start-up from the store: the same keys, defaults,
// conversions and, for a stored value the window cannot take, the same fallback (the
// control's value from the window's design, `designFontSize` for the font size). The
// time texts are those of `now` in `locale`.
StampChoices StoredChoices(const SettingsStore& store, const Environment& env,
                           double designFontSize, SettingsWarnings* warnings);
// The choices of a first start, with an empty store.
StampChoices BuiltinChoices(const Environment& env);

// Applies the command line's settings options (-o -m -t --template -p -f -c -q). Throws
// UsageError for a value it cannot take.
void ApplyOverrides(StampChoices& choices, const CommandLine& line, const Environment& env);

// The --mode and --position words, in list order.
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

// The effective settings, one "name: value" line each, in the words of the options.
QString SettingsText(const StampChoices& choices);

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <span>

// What a stored text or an option's value holds, and so how it is read.
enum class StampValueType {
    Text,    // taken as it is
    Choice,  // one of a list's texts, compared exactly
    Flag,    // exactly "True" is on, every other text off
    Points,  // font points: a 16-bit whole number, fractions rounded half to even
    Whole,   // a 32-bit whole number, fractions rounded half to even
    Color,   // 0x00BBGGRR as a number, fractions rounded half to even
    Font,    // "Family[,size][,bold][,italic][,strikeout][,underline]"
    Folder,  // a folder's path
};

// The numbers a setting takes: lowest to highest, or above lowest when the lowest itself
// is refused (a font of 0 points).
struct StampValueRange {
    double lowest = 0;
    double highest = 0;
    bool aboveLowest = false;

    bool Holds(double value) const;
    // The range in words, as help lines and messages give it: "1 to 100",
    // "above 0 and at most 2048".
    QString Text() const;
};

// One key of the settings store that a setting is kept under.
struct StampStoredKey {
    const char* key;         // the spelling read (the store ignores letter case)
    const char* writtenKey;  // the spelling the window writes
    StampValueType type;
    const char* defaultText;  // what the window reads when the key is absent
    // The values the window's control takes, for Points, Whole and Color keys; a stored
    // value outside it is refused with VbError 380.
    StampValueRange range;
};

// The options of the companion that set stamp settings, in --help order.
enum class StampOption {
    Output,
    Mode,
    Text,
    Template,
    Position,
    Font,
    Color,
    Quality,
    Size,
    Margin,
    Outline,
    Shadow,
    Box,
};

// One option of the companion.
struct StampOptionWord {
    StampOption id;
    const char* longName;   // "quality" for --quality
    char shortName;         // 'q' for -q; '\0' when there is none
    const char* alias;      // a second long name ("colour"), nullptr when none
    const char* argument;   // the argument's name in --help and the manual page
    // The --help line. "{range}" stands for the setting's range in words, "{words}" for
    // its choice words ("a, b or c").
    const char* help;
    // The argument may be left out ("--outline" alone): it is then given as
    // "--outline=VALUE", or as the next word when that word is such a value.
    bool optionalArgument = false;
};

// The stamp settings, in --print-settings order.
// Size, Margin, Outline, Shadow and Box are the companion's own: the window keeps none of
// them, and a setting left unset draws that aspect as the window does.
enum class StampSettingId {
    Output,
    Mode,
    Text,
    Position,
    Font,
    Color,
    Quality,
    Size,
    Margin,
    Outline,
    Shadow,
    Box,
};

// One stamp setting: everything the window's restore and write-back, the companion's
// reading of the stored settings, its options, --help, --print-settings and the manual
// page say about it. A setting added later (a margin, an opacity) is one more row.
struct StampSettingDeclaration {
    StampSettingId id;
    const char* name;  // its word in --print-settings
    std::span<const StampStoredKey> keys;      // empty when the window keeps no value
    std::span<const StampOptionWord> options;  // the options that set it
    // The values a user may give: the font's size, the quality. Empty for the rest.
    StampValueRange range;
    // A Choice setting's texts as the window's list holds them, and the option's words
    // for them in the same order; null for other settings.
    QStringList (*texts)() = nullptr;
    QStringList (*words)() = nullptr;
};

// Every stamp setting, in --print-settings order.
std::span<const StampSettingDeclaration> StampSettingTable();
const StampSettingDeclaration& StampSetting(StampSettingId id);
// The stored key of a setting whose read spelling is `key` (a key:: constant).
const StampStoredKey& StampKey(const char* key);
// The spelling the window writes the declared key `key` under.
QString WrittenKey(const char* key);
// The option word of an option.
const StampOptionWord& StampOptionOf(StampOption id);
// The setting's option --help line with its {range} and {words} filled in.
QString StampOptionHelp(const StampSettingDeclaration& setting, const StampOptionWord& option);

// "a, b or c".
QString WordsText(const QStringList& words);

// The quality every writer is given: the quality setting's range. The window's slider
// has one more position, 0, which writes what 1 writes (libjpeg's own floor); values above
// the range write what 100 writes.
int ClampQuality(int quality);

// SPDX-License-Identifier: MIT
#include "engine/stamp_setting_table.h"

#include "core/stamp_modes.h"
#include "settings/settings_keys.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace {

using Type = StampValueType;

// The font's size: what the stamp-text box takes.
constexpr StampValueRange kFontPoints{0, 2048, true};
// The quality slider's positions; 0 writes what 1 writes.
constexpr StampValueRange kQualitySlider{0, 100};
// The quality the encoders are given.
constexpr StampValueRange kQuality{1, 100};
constexpr StampValueRange kColors{0, 0xFFFFFF};

// A Choice key without a default reads as its list's first text, a Folder key without one
// as the desktop folder.
constexpr std::array kOutputKeys{
    StampStoredKey{key::kOutputFolder, key::kOutputFolder, Type::Folder, nullptr, {}},
};
constexpr std::array kModeKeys{
    StampStoredKey{key::kCombo1, key::kCombo1, Type::Choice, nullptr, {}},
};
constexpr std::array kPositionKeys{
    StampStoredKey{key::kPosition, key::kPosition, Type::Choice, nullptr, {}},
};
constexpr std::array kFontKeys{
    StampStoredKey{key::kFontName, key::kFontName, Type::Text, "Arial", {}},
    StampStoredKey{key::kFontBold, key::kFontBold, Type::Flag, "True", {}},
    StampStoredKey{key::kFontItalic, key::kFontItalic, Type::Flag, "False", {}},
    StampStoredKey{key::kFontSize, key::kFontSize, Type::Points, "24", kFontPoints},
    StampStoredKey{key::kFontStrikeThruRead, key::kFontStrikethruWrite, Type::Flag, "False",
                   {}},
    StampStoredKey{key::kFontUnderLineRead, key::kFontUnderlineWrite, Type::Flag, "False", {}},
};
constexpr std::array kColorKeys{
    StampStoredKey{key::kFontColor, key::kFontColor, Type::Color, "16777215", kColors},
};
constexpr std::array kQualityKeys{
    StampStoredKey{key::kSlider1, key::kSlider1, Type::Whole, "85", kQualitySlider},
};

constexpr std::array kOutputOptions{
    StampOptionWord{StampOption::Output, "output", 'o', nullptr, "DIR", "output folder"},
};
constexpr std::array kModeOptions{
    StampOptionWord{StampOption::Mode, "mode", 'm', nullptr, "MODE", "{words}"},
};
constexpr std::array kTextOptions{
    StampOptionWord{StampOption::Text, "text", 't', nullptr, "TEXT",
                    "the stamp text, taken literally (newlines start lines)"},
    StampOptionWord{StampOption::Template, "template", '\0', nullptr, "TEXT",
                    "the stamp text with placeholders such as {stem} or {taken}"},
};
constexpr std::array kPositionOptions{
    StampOptionWord{StampOption::Position, "position", 'p', nullptr, "POS", "{words}"},
};
constexpr std::array kFontOptions{
    StampOptionWord{StampOption::Font, "font", 'f', nullptr, "FONT",
                    "\"Family[,size][,bold][,italic][,strikeout][,underline]\", size {range}"},
};
constexpr std::array kColorOptions{
    StampOptionWord{StampOption::Color, "color", 'c', "colour", "COLOR",
                    "text colour: #RRGGBB, #AARRGGBB (alpha first: #80FFFFFF is half-transparent "
                    "white), a colour name, or auto (white or black, whichever reads better on "
                    "each picture) or auto:COLOR,COLOR"},
};
constexpr std::array kSizeOptions{
    StampOptionWord{StampOption::Size, "size", '\0', nullptr, "SIZE",
                    "the text's cap height as a share of the picture's shorter side (3%) or in "
                    "pixels (48px), so every picture of a set gets text of the same look; "
                    "without it the font's point size"},
};
constexpr std::array kMarginOptions{
    StampOptionWord{StampOption::Margin, "margin", '\0', nullptr, "MARGIN",
                    "the stamp's distance from the picture's edges: a share of the shorter side "
                    "(2%), pixels (20px) or the text's size (1em)"},
};
constexpr std::array kOutlineOptions{
    StampOptionWord{StampOption::Outline, "outline", '\0', nullptr, "[WIDTH][,COLOR]",
                    "a stroke around every glyph; WIDTH in em (default 0.06em), px or % of the "
                    "shorter side, COLOR by default the one opposite the text",
                    true},
};
constexpr std::array kShadowOptions{
    StampOptionWord{StampOption::Shadow, "shadow", '\0', nullptr, "[OFFSET][,COLOR]",
                    "a soft drop shadow; OFFSET in em (default 0.06em), px or %, COLOR by default "
                    "the one opposite the text at 70 %",
                    true},
};
constexpr std::array kBoxOptions{
    StampOptionWord{StampOption::Box, "box", '\0', nullptr, "[PADDING][,COLOR]",
                    "a filled rectangle behind the text, e.g. 0.4em,#80000000; PADDING in em "
                    "(default 0.3em), px or %, COLOR by default the one opposite the text at 60 %",
                    true},
};
constexpr std::array kQualityOptions{
    StampOptionWord{StampOption::Quality, "quality", 'q', nullptr, "N", "JPEG quality, {range}"},
};

QStringList ModeWords() {
    return {QStringLiteral("text"),     QStringLiteral("time"), QStringLiteral("date"),
            QStringLiteral("datetime"), QStringLiteral("name"), QStringLiteral("stem"),
            QStringLiteral("path")};
}

QStringList PositionWords() {
    QStringList words;
    for (const QString& position : StampPositionTexts()) {
        words << position.toLower();
    }
    return words;
}

constexpr std::array kTable{
    StampSettingDeclaration{StampSettingId::Output, "output", kOutputKeys, kOutputOptions, {}},
    StampSettingDeclaration{StampSettingId::Mode, "mode", kModeKeys, kModeOptions, {},
                            &StampModeTexts, &ModeWords},
    StampSettingDeclaration{StampSettingId::Text, "text", {}, kTextOptions, {}},
    StampSettingDeclaration{StampSettingId::Position, "position", kPositionKeys,
                            kPositionOptions, {}, &StampPositionTexts, &PositionWords},
    StampSettingDeclaration{StampSettingId::Font, "font", kFontKeys, kFontOptions, kFontPoints},
    StampSettingDeclaration{StampSettingId::Color, "color", kColorKeys, kColorOptions, {}},
    StampSettingDeclaration{StampSettingId::Size, "size", {}, kSizeOptions, {}},
    StampSettingDeclaration{StampSettingId::Margin, "margin", {}, kMarginOptions, {}},
    StampSettingDeclaration{StampSettingId::Outline, "outline", {}, kOutlineOptions, {}},
    StampSettingDeclaration{StampSettingId::Shadow, "shadow", {}, kShadowOptions, {}},
    StampSettingDeclaration{StampSettingId::Box, "box", {}, kBoxOptions, {}},
    StampSettingDeclaration{StampSettingId::Quality, "quality", kQualityKeys, kQualityOptions,
                            kQuality},
};

QString Number(double value) {
    return QString::number(value, 'g', 10);
}

}  // namespace

bool StampValueRange::Holds(double value) const {
    return (aboveLowest ? value > lowest : value >= lowest) && value <= highest;
}

QString StampValueRange::Text() const {
    if (aboveLowest) {
        return QStringLiteral("above %1 and at most %2").arg(Number(lowest), Number(highest));
    }
    return QStringLiteral("%1 to %2").arg(Number(lowest), Number(highest));
}

std::span<const StampSettingDeclaration> StampSettingTable() {
    return kTable;
}

const StampSettingDeclaration& StampSetting(StampSettingId id) {
    for (const StampSettingDeclaration& setting : kTable) {
        if (setting.id == id) {
            return setting;
        }
    }
    throw std::logic_error("a stamp setting without its declaration");
}

const StampStoredKey& StampKey(const char* key) {
    for (const StampSettingDeclaration& setting : kTable) {
        for (const StampStoredKey& stored : setting.keys) {
            if (std::strcmp(stored.key, key) == 0) {
                return stored;
            }
        }
    }
    throw std::logic_error("a stored key without its declaration");
}

QString WrittenKey(const char* key) {
    return QString::fromLatin1(StampKey(key).writtenKey);
}

const StampOptionWord& StampOptionOf(StampOption id) {
    for (const StampSettingDeclaration& setting : kTable) {
        for (const StampOptionWord& option : setting.options) {
            if (option.id == id) {
                return option;
            }
        }
    }
    throw std::logic_error("an option without its declaration");
}

QString WordsText(const QStringList& words) {
    if (words.size() < 2) {
        return words.join(QString());
    }
    return words.mid(0, words.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") +
           words.last();
}

QString StampOptionHelp(const StampSettingDeclaration& setting, const StampOptionWord& option) {
    QString help = QString::fromUtf8(option.help);
    help.replace(QStringLiteral("{range}"), setting.range.Text());
    if (setting.words != nullptr) {
        help.replace(QStringLiteral("{words}"), WordsText(setting.words()));
    }
    return help;
}

int ClampQuality(int quality) {
    return std::clamp(quality, static_cast<int>(kQuality.lowest),
                      static_cast<int>(kQuality.highest));
}

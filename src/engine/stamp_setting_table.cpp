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
                    "text colour: #RRGGBB or a colour name"},
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

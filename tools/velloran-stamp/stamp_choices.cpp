// SPDX-License-Identifier: MIT
#include "stamp_choices.h"

#include "command_line.h"
#include "core/canvas.h"
#include "core/stamp_modes.h"
#include "core/stamp_text.h"
#include "engine/stamp_setting_table.h"
#include "engine/stamp_style_parsing.h"
#include "engine/stored_stamp_settings.h"
#include "settings/settings_keys.h"
#include "util/environment.h"
#include "util/path_bytes.h"

#include <QColor>

#include <algorithm>

namespace {

constexpr quint32 kWhite = 0xFFFFFF;
// The quality slider's value in the window's design, kept when the stored one fails.
constexpr int kSliderDesignQuality = 85;

// The stamp-text box's text for a mode, as the window composes it at start-up; the
// file-name modes show "Filename" until a source is stamped.
QString ModeText(int mode, const Environment& env) {
    switch (mode) {
        case 1:
            return TimeText(env.now(), env.locale);
        case 2:
            return DateText(env.now(), env.locale);
        case 3:
            return DateTimeText(env.now(), env.locale);
        case 4:
        case 5:
        case 6:
            return QStringLiteral("Filename");
        default:
            return QString::fromLatin1(kPlaceholderText);
    }
}

QString Quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString OptionName(StampOption id) {
    return QStringLiteral("--") + QString::fromLatin1(StampOptionOf(id).longName);
}

// What the window's controls hold after its restore steps: each stored value, or the
// value of the window's design where the step failed, named in a warning.
StampChoices ChoicesFrom(const StoredStampSettings& stored, const Environment& env,
                         double designFontSize, SettingsWarnings* warnings) {
    const auto fallBack = [&](const auto& value, const char* key, const QString& effect) {
        if (value.failed() && warnings != nullptr) {
            *warnings << QStringLiteral("stored %1 %2 cannot be used: %3")
                             .arg(Quoted(QString::fromLatin1(key)), Quoted(value.storedText()),
                                  effect);
        }
    };
    StampChoices c;
    fallBack(stored.position, key::kPosition, QStringLiteral("no position, nothing is drawn"));
    c.position = stored.position.Or(QString());
    // The colour swatch starts white; the stamp-text box takes the swatch's colour.
    fallBack(stored.color, key::kFontColor, QStringLiteral("white"));
    c.color = stored.color.Or(kWhite);
    c.fontFamily = stored.fontFamily.Take();
    c.fontBold = stored.fontBold.Take();
    c.fontItalic = stored.fontItalic.Take();
    fallBack(stored.fontSize, key::kFontSize, QStringLiteral("%1 points").arg(designFontSize));
    c.fontSize = stored.fontSize.failed() ? designFontSize : stored.fontSize.Take();
    c.fontStrikeout = stored.fontStrikeout.Take();
    c.fontUnderline = stored.fontUnderline.Take();
    // A mode text the list does not hold leaves the list without a choice: the box
    // keeps "Your text goes here" and no source changes it, as in mode 0.
    fallBack(stored.mode, key::kCombo1, QStringLiteral("your text"));
    c.mode = std::max(0, static_cast<int>(StampModeTexts().indexOf(stored.mode.Or(QString()))));
    c.text = ModeText(c.mode, env);
    fallBack(stored.quality, key::kSlider1, QStringLiteral("quality %1").arg(kSliderDesignQuality));
    c.quality = stored.quality.Or(kSliderDesignQuality);
    // Without a desktop folder the window's output-folder box stays empty.
    c.outputFolder = stored.outputFolder.Or(QString());
    return c;
}

}  // namespace

QStringList ModeWords() {
    return StampSetting(StampSettingId::Mode).words();
}

QStringList PositionWords() {
    return StampSetting(StampSettingId::Position).words();
}

StampChoices BuiltinChoices(const Environment& env) {
    const StoredStampSettings defaults = DefaultStampSettings(env);
    return ChoicesFrom(defaults, env, defaults.fontSize.Take(), nullptr);
}

StampChoices StoredChoices(const SettingsStore& store, const Environment& env,
                           double designFontSize, SettingsWarnings* warnings) {
    return ChoicesFrom(ReadStoredStampSettings(store, env), env, designFontSize, warnings);
}

void ApplyFontText(StampChoices& choices, const QString& fontText) {
    const QStringList parts = fontText.split(QLatin1Char(','));
    const QString family = parts.first().trimmed();
    const QString option = OptionName(StampOption::Font);
    if (family.isEmpty()) {
        throw UsageError(
            QStringLiteral("%1 %2: the font family is missing").arg(option, Quoted(fontText)));
    }
    const StampValueRange sizes = StampSetting(StampSettingId::Font).range;
    StampChoices font = choices;
    font.fontFamily = family;
    font.fontBold = font.fontItalic = font.fontStrikeout = font.fontUnderline = false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString word = parts.at(i).trimmed().toLower();
        bool isNumber = false;
        const double size = word.toDouble(&isNumber);
        if (isNumber) {
            if (!sizes.Holds(size)) {
                throw UsageError(QStringLiteral("%1 %2: the size must be %3")
                                     .arg(option, Quoted(fontText), sizes.Text()));
            }
            font.fontSize = size;
        } else if (word == QLatin1String("bold")) {
            font.fontBold = true;
        } else if (word == QLatin1String("italic")) {
            font.fontItalic = true;
        } else if (word == QLatin1String("strikeout")) {
            font.fontStrikeout = true;
        } else if (word == QLatin1String("underline")) {
            font.fontUnderline = true;
        } else {
            throw UsageError(QStringLiteral("%1 %2: unknown word %3 (a size, bold, italic, "
                                            "strikeout or underline)")
                                 .arg(option, Quoted(fontText), Quoted(parts.at(i).trimmed())));
        }
    }
    choices = font;
}

QString FontText(const StampChoices& choices) {
    QString fontText =
        choices.fontFamily + QLatin1Char(',') + QString::number(choices.fontSize);
    if (choices.fontBold) {
        fontText += QStringLiteral(",bold");
    }
    if (choices.fontItalic) {
        fontText += QStringLiteral(",italic");
    }
    if (choices.fontStrikeout) {
        fontText += QStringLiteral(",strikeout");
    }
    if (choices.fontUnderline) {
        fontText += QStringLiteral(",underline");
    }
    return fontText;
}

quint32 ParseColor(const QString& text) {
    const QColor color = QColor::fromString(text.trimmed());
    if (text.trimmed().isEmpty() || !color.isValid()) {
        throw UsageError(QStringLiteral("%1 %2: not a colour (#RRGGBB or a colour name)")
                             .arg(OptionName(StampOption::Color), Quoted(text)));
    }
    return BgrFromColor(color);
}

namespace {

// The index of a Choice setting's word, as its list holds the choices.
int WordIndex(StampSettingId id, StampOption option, const QString& word) {
    const QStringList words = StampSetting(id).words();
    const qsizetype index = words.indexOf(word.trimmed().toLower());
    if (index < 0) {
        throw UsageError(QStringLiteral("%1 %2: choose one of %3")
                             .arg(OptionName(option), Quoted(word),
                                  words.join(QStringLiteral(", "))));
    }
    return static_cast<int>(index);
}

// Lines typed on a command line end in LF; the stamp-text box parts lines with CR LF.
QString BoxLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

// The value a style parser read, or a usage error with its message after the option.
template <typename T>
T StyleValue(StampOption option, const QString& text, const StyleParse<T>& parsed) {
    if (!parsed.value) {
        throw UsageError(
            QStringLiteral("%1 %2: %3").arg(OptionName(option), Quoted(text), parsed.error));
    }
    return *parsed.value;
}

// The style, set up on first use: any style option makes the stamp a styled one.
StampStyle& Style(StampChoices& choices) {
    return choices.style ? *choices.style : choices.style.emplace();
}

// -c: an opaque colour goes where the window keeps it, so a copy made without the style
// options stays the window's own; a colour with alpha or "auto" needs the styled drawing,
// which keeps the alpha instead of dropping it.
void ApplyColor(StampChoices& choices, const QString& text) {
    StyleParse<StampTextColor> parsed = ParseStampTextColor(text);
    // A colour that names nothing visible ("#00000080", alpha written last) is told why.
    if (!parsed.value && QColor::fromString(text.trimmed()).isValid()) {
        parsed.error = ParseStampColor(text).error;
    }
    const StampTextColor color = StyleValue(StampOption::Color, text, parsed);
    if (color.automatic || qAlpha(color.fixed) < 255) {
        Style(choices).color = color;
        return;
    }
    choices.color = ParseColor(text);
    if (choices.style) {
        choices.style->color.reset();
    }
}

int ParseQuality(const QString& text) {
    const StampValueRange range = StampSetting(StampSettingId::Quality).range;
    bool ok = false;
    const int quality = text.trimmed().toInt(&ok);
    if (!ok || !range.Holds(quality)) {
        throw UsageError(QStringLiteral("%1 %2: a whole number from %3")
                             .arg(OptionName(StampOption::Quality), Quoted(text), range.Text()));
    }
    return quality;
}

}  // namespace

void ApplyOverrides(StampChoices& choices, const CommandLine& line, const Environment& env) {
    const QString textOption = OptionName(StampOption::Text);
    const QString templateOption = OptionName(StampOption::Template);
    if (line.text && line.templateText) {
        throw UsageError(
            QStringLiteral("%1 and %2 cannot be used together").arg(textOption, templateOption));
    }
    const bool ownText = line.text || line.templateText;
    if (line.mode) {
        choices.mode = WordIndex(StampSettingId::Mode, StampOption::Mode, *line.mode);
        choices.text = ModeText(choices.mode, env);
    } else if (ownText) {
        choices.mode = 0;
    }
    if (ownText) {
        if (choices.mode != 0) {
            throw UsageError(QStringLiteral("%1 needs %2 %3")
                                 .arg(line.text ? textOption : templateOption,
                                      OptionName(StampOption::Mode), ModeWords().first()));
        }
        choices.text = BoxLines(line.text ? *line.text : *line.templateText);
        choices.isTemplate = line.templateText.has_value();
    }
    if (line.position) {
        choices.position = StampPositionTexts().at(
            WordIndex(StampSettingId::Position, StampOption::Position, *line.position));
    }
    if (line.font) {
        ApplyFontText(choices, *line.font);
    }
    if (line.color) {
        ApplyColor(choices, *line.color);
    }
    if (line.size) {
        Style(choices).size = StyleValue(StampOption::Size, *line.size, ParseStampSize(*line.size));
    }
    if (line.margin) {
        Style(choices).margin =
            StyleValue(StampOption::Margin, *line.margin, ParseStampMargin(*line.margin));
    }
    const auto decoration = [&](StampOption option, const std::optional<QString>& text,
                                std::optional<StampDecoration> StampStyle::*member) {
        if (text) {
            Style(choices).*member = StyleValue(option, *text, ParseStampDecoration(*text));
        }
    };
    decoration(StampOption::Outline, line.outline, &StampStyle::outline);
    decoration(StampOption::Shadow, line.shadow, &StampStyle::shadow);
    decoration(StampOption::Box, line.box, &StampStyle::box);
    if (line.quality) {
        choices.quality = ParseQuality(*line.quality);
    }
    if (line.output) {
        if (line.output->isEmpty()) {
            throw UsageError(
                QStringLiteral("%1: the folder name is empty").arg(OptionName(StampOption::Output)));
        }
        choices.outputFolder = PathText(*line.output);
    }
}

namespace {

// A colour as the options take it: "#RRGGBB" when opaque, else "#AARRGGBB".
QString ColorWord(QRgb rgba) {
    const QColor color = QColor::fromRgba(rgba);
    return color.name(color.alpha() == 255 ? QColor::HexRgb : QColor::HexArgb).toUpper();
}

QString LengthWord(const StampLength& length) {
    switch (length.unit) {
        case StampLength::Unit::ShorterSide:
            return QString::number(length.value * 100, 'g', 6) + QLatin1Char('%');
        case StampLength::Unit::Em:
            return QString::number(length.value, 'g', 6) + QStringLiteral("em");
        case StampLength::Unit::Pixels:
            break;
    }
    return QString::number(length.value, 'g', 6) + QStringLiteral("px");
}

// "[LENGTH][,COLOR]" as the option takes it; "default" when both are the defaults.
QString DecorationWord(const StampDecoration& decoration) {
    if (!decoration.length && !decoration.color) {
        return QStringLiteral("default");
    }
    QString word = decoration.length ? LengthWord(*decoration.length) : QString();
    if (decoration.color) {
        word += QLatin1Char(',') + ColorWord(*decoration.color);
    }
    return word;
}

QString TextColorWord(const StampTextColor& color) {
    if (!color.automatic) {
        return ColorWord(color.fixed);
    }
    if (color == StampTextColor{true}) {
        return QStringLiteral("auto");
    }
    return QStringLiteral("auto:%1,%2").arg(ColorWord(color.first), ColorWord(color.second));
}

bool IsStyleSetting(StampSettingId id) {
    switch (id) {
        case StampSettingId::Size:
        case StampSettingId::Margin:
        case StampSettingId::Outline:
        case StampSettingId::Shadow:
        case StampSettingId::Box:
            return true;
        default:
            return false;
    }
}

// A style setting's value in the words of its option; no value when it is unset and so
// drawn as the window draws it.
std::optional<QString> StyleSettingValue(StampSettingId id, const StampChoices& choices) {
    if (!choices.style) {
        return std::nullopt;
    }
    const StampStyle& style = *choices.style;
    const auto decoration = [](const std::optional<StampDecoration>& d) {
        return d ? std::optional(DecorationWord(*d)) : std::nullopt;
    };
    switch (id) {
        case StampSettingId::Size:
            return style.size ? std::optional(LengthWord(*style.size)) : std::nullopt;
        case StampSettingId::Margin:
            return style.margin ? std::optional(LengthWord(*style.margin)) : std::nullopt;
        case StampSettingId::Outline:
            return decoration(style.outline);
        case StampSettingId::Shadow:
            return decoration(style.shadow);
        case StampSettingId::Box:
            return decoration(style.box);
        default:
            return std::nullopt;
    }
}

// A setting's value in the words of its option.
QString SettingValue(StampSettingId id, const StampChoices& choices) {
    switch (id) {
        case StampSettingId::Output:
            return PathForPeople(choices.outputFolder);
        case StampSettingId::Mode:
            return ModeWords().at(choices.mode);
        case StampSettingId::Text: {
            // Shown with its line breaks as "\n", so one setting stays one line.
            QString text = choices.text;
            text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
            return text;
        }
        case StampSettingId::Position: {
            const qsizetype position = StampPositionTexts().indexOf(choices.position);
            return position < 0 ? QStringLiteral("none") : PositionWords().at(position);
        }
        case StampSettingId::Font:
            return FontText(choices);
        case StampSettingId::Color:
            if (choices.style && choices.style->color) {
                return TextColorWord(*choices.style->color);
            }
            return ColorFromBgr(choices.color).name().toUpper();
        case StampSettingId::Quality:
            return QString::number(ClampQuality(choices.quality));
        case StampSettingId::Size:
        case StampSettingId::Margin:
        case StampSettingId::Outline:
        case StampSettingId::Shadow:
        case StampSettingId::Box:
            return StyleSettingValue(id, choices).value_or(QString());
    }
    return QString();
}

}  // namespace

QString SettingsText(const StampChoices& choices) {
    QString lines;
    for (const StampSettingDeclaration& setting : StampSettingTable()) {
        // A style setting is printed only when set: unset, the stamp is drawn as the
        // window draws it, and the lines of such a run stay the ones they always were.
        if (IsStyleSetting(setting.id) && !StyleSettingValue(setting.id, choices)) {
            continue;
        }
        // A template is printed under the word of its own option.
        const char* name = setting.id == StampSettingId::Text && choices.isTemplate
                               ? StampOptionOf(StampOption::Template).longName
                               : setting.name;
        lines += QStringLiteral("%1: %2\n")
                     .arg(QString::fromLatin1(name), SettingValue(setting.id, choices));
    }
    return lines;
}

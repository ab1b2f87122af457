// SPDX-License-Identifier: MIT
#include "engine/stamp_setting_words.h"

#include "core/canvas.h"
#include "core/stamp_modes.h"
#include "core/stamp_text.h"
#include "engine/stamp_style_parsing.h"
#include "engine/stamp_template.h"
#include "engine/starting_stamp_settings.h"
#include "util/environment.h"
#include "util/path_bytes.h"

#include <QColor>

#include <map>
#include <optional>

namespace {

// Why a word was refused; thrown inside this file only, returned as a value from it.
struct WordRefused {
    QString why;
};

QString Quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString OptionName(StampOption id) {
    return QStringLiteral("--") + QString::fromLatin1(StampOptionOf(id).longName);
}

void ReadFontText(StampSettings& settings, const QString& fontText) {
    const QStringList parts = fontText.split(QLatin1Char(','));
    const QString family = parts.first().trimmed();
    const QString option = OptionName(StampOption::Font);
    if (family.isEmpty()) {
        throw WordRefused{
            QStringLiteral("%1 %2: the font family is missing").arg(option, Quoted(fontText))};
    }
    const StampValueRange sizes = StampSetting(StampSettingId::Font).range;
    StampSettings font = settings;
    font.fontFamily = family;
    font.fontBold = font.fontItalic = font.fontStrikeout = font.fontUnderline = false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString word = parts.at(i).trimmed().toLower();
        bool isNumber = false;
        const double size = word.toDouble(&isNumber);
        if (isNumber) {
            if (!sizes.Holds(size)) {
                throw WordRefused{QStringLiteral("%1 %2: the size must be %3")
                                      .arg(option, Quoted(fontText), sizes.Text())};
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
            throw WordRefused{QStringLiteral("%1 %2: unknown word %3 (a size, bold, italic, "
                                             "strikeout or underline)")
                                  .arg(option, Quoted(fontText), Quoted(parts.at(i).trimmed()))};
        }
    }
    settings = font;
}

// The index of a Choice setting's word, as its list holds the choices.
int WordIndex(StampSettingId id, StampOption option, const QString& word) {
    const QStringList words = StampSetting(id).words();
    const qsizetype index = words.indexOf(word.trimmed().toLower());
    if (index < 0) {
        throw WordRefused{QStringLiteral("%1 %2: choose one of %3")
                              .arg(OptionName(option), Quoted(word),
                                   words.join(QStringLiteral(", ")))};
    }
    return static_cast<int>(index);
}

// Lines typed on a command line end in LF; the stamp-text box parts lines with CR LF.
QString BoxLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

// The value a style parser read, or the refusal with its message after the option.
template <typename T>
T StyleValue(StampOption option, const QString& text, const StyleParse<T>& parsed) {
    if (!parsed.value) {
        throw WordRefused{
            QStringLiteral("%1 %2: %3").arg(OptionName(option), Quoted(text), parsed.error)};
    }
    return *parsed.value;
}

// The style, set up on first use: any style option makes the stamp a styled one.
StampStyle& Style(StampSettings& settings) {
    return settings.style ? *settings.style : settings.style.emplace();
}

// An opaque colour goes where the window keeps it, so a copy made without the style
// options stays the window's own; a colour with alpha or "auto" needs the styled drawing,
// which keeps the alpha instead of dropping it.
void ApplyColor(StampSettings& settings, const QString& text) {
    StyleParse<StampTextColor> parsed = ParseStampTextColor(text);
    // A colour that names nothing visible ("#00000080", alpha written last) is told why.
    if (!parsed.value && QColor::fromString(text.trimmed()).isValid()) {
        parsed.error = ParseStampColor(text).error;
    }
    const StampTextColor color = StyleValue(StampOption::Color, text, parsed);
    if (color.automatic || qAlpha(color.fixed) < 255) {
        Style(settings).color = color;
        return;
    }
    settings.color = BgrFromColor(QColor::fromString(text.trimmed()));
    if (settings.style) {
        settings.style->color.reset();
    }
}

int ParseQuality(const QString& text) {
    const StampValueRange range = StampSetting(StampSettingId::Quality).range;
    bool ok = false;
    const int quality = text.trimmed().toInt(&ok);
    if (!ok || !range.Holds(quality)) {
        throw WordRefused{QStringLiteral("%1 %2: a whole number from %3")
                              .arg(OptionName(StampOption::Quality), Quoted(text), range.Text())};
    }
    return quality;
}

// The text options: -t and --template are one setting, so at most one of them; either
// needs the text mode.
void ApplyText(StampSettings& settings, const std::map<StampOption, QString>& last,
               const Environment& env) {
    const auto given = [&](StampOption option) { return last.count(option) != 0; };
    const QString textOption = OptionName(StampOption::Text);
    const QString templateOption = OptionName(StampOption::Template);
    if (given(StampOption::Text) && given(StampOption::Template)) {
        throw WordRefused{
            QStringLiteral("%1 and %2 cannot be used together").arg(textOption, templateOption)};
    }
    const bool isTemplate = given(StampOption::Template);
    const bool ownText = given(StampOption::Text) || isTemplate;
    if (given(StampOption::Mode)) {
        settings.mode = WordIndex(StampSettingId::Mode, StampOption::Mode,
                                  last.at(StampOption::Mode));
        settings.text = ModeStartText(settings.mode, env);
    } else if (ownText) {
        settings.mode = 0;
    }
    if (!ownText) {
        return;
    }
    if (settings.mode != 0) {
        throw WordRefused{QStringLiteral("%1 needs %2 %3")
                              .arg(isTemplate ? templateOption : textOption,
                                   OptionName(StampOption::Mode), ModeWords().first())};
    }
    const QString text = last.at(isTemplate ? StampOption::Template : StampOption::Text);
    if (isTemplate) {
        try {
            StampTemplate checked(text);
        } catch (const StampTemplateError& e) {
            throw WordRefused{QStringLiteral("%1 %2: %3").arg(templateOption, Quoted(text), e.why())};
        }
    }
    settings.text = BoxLines(text);
    settings.isTemplate = isTemplate;
}

void ApplyWord(StampSettings& settings, StampOption option, const QString& text) {
    const auto decoration = [&](std::optional<StampDecoration> StampStyle::*member) {
        Style(settings).*member = StyleValue(option, text, ParseStampDecoration(text));
    };
    switch (option) {
        case StampOption::Output:
            if (text.isEmpty()) {
                throw WordRefused{
                    QStringLiteral("%1: the folder name is empty").arg(OptionName(option))};
            }
            settings.outputFolder = text;
            return;
        case StampOption::Position:
            settings.position = StampPositionTexts().at(
                WordIndex(StampSettingId::Position, option, text));
            return;
        case StampOption::Font:
            ReadFontText(settings, text);
            return;
        case StampOption::Color:
            ApplyColor(settings, text);
            return;
        case StampOption::Quality:
            settings.quality = ParseQuality(text);
            return;
        case StampOption::Size:
            Style(settings).size = StyleValue(option, text, ParseStampSize(text));
            return;
        case StampOption::Margin:
            Style(settings).margin = StyleValue(option, text, ParseStampMargin(text));
            return;
        case StampOption::Outline:
            decoration(&StampStyle::outline);
            return;
        case StampOption::Shadow:
            decoration(&StampStyle::shadow);
            return;
        case StampOption::Box:
            decoration(&StampStyle::box);
            return;
        case StampOption::Mode:
        case StampOption::Text:
        case StampOption::Template:
            return;  // ApplyText's
    }
}

}  // namespace

QStringList ModeWords() {
    return StampSetting(StampSettingId::Mode).words();
}

QStringList PositionWords() {
    return StampSetting(StampSettingId::Position).words();
}

QString ApplyFontText(StampSettings& settings, const QString& text) {
    try {
        ReadFontText(settings, text);
    } catch (const WordRefused& refused) {
        return refused.why;
    }
    return QString();
}

QString FontText(const StampSettings& settings) {
    QString fontText = settings.fontFamily + QLatin1Char(',') + QString::number(settings.fontSize);
    if (settings.fontBold) {
        fontText += QStringLiteral(",bold");
    }
    if (settings.fontItalic) {
        fontText += QStringLiteral(",italic");
    }
    if (settings.fontStrikeout) {
        fontText += QStringLiteral(",strikeout");
    }
    if (settings.fontUnderline) {
        fontText += QStringLiteral(",underline");
    }
    return fontText;
}

QString ApplyStampSettingWords(StampSettings& settings, const QList<StampSettingWord>& words,
                               const Environment& env) {
    std::map<StampOption, QString> last;
    for (const StampSettingWord& word : words) {
        last[word.option] = word.text;
    }
    try {
        ApplyText(settings, last, env);
        // The map's order is the options' declaration order.
        for (const auto& [option, text] : last) {
            ApplyWord(settings, option, text);
        }
    } catch (const WordRefused& refused) {
        return refused.why;
    }
    return QString();
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
std::optional<QString> StyleSettingValue(StampSettingId id, const StampSettings& settings) {
    if (!settings.style) {
        return std::nullopt;
    }
    const StampStyle& style = *settings.style;
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
QString SettingValue(StampSettingId id, const StampSettings& settings) {
    switch (id) {
        case StampSettingId::Output:
            return PathForPeople(settings.outputFolder);
        case StampSettingId::Mode:
            return ModeWords().at(settings.mode);
        case StampSettingId::Text: {
            // Shown with its line breaks as "\n", so one setting stays one line.
            QString text = settings.text;
            text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
            return text;
        }
        case StampSettingId::Position: {
            const qsizetype position = StampPositionTexts().indexOf(settings.position);
            return position < 0 ? QStringLiteral("none") : PositionWords().at(position);
        }
        case StampSettingId::Font:
            return FontText(settings);
        case StampSettingId::Color:
            if (settings.style && settings.style->color) {
                return TextColorWord(*settings.style->color);
            }
            return ColorFromBgr(settings.color).name().toUpper();
        case StampSettingId::Quality:
            return QString::number(ClampQuality(settings.quality));
        case StampSettingId::Size:
        case StampSettingId::Margin:
        case StampSettingId::Outline:
        case StampSettingId::Shadow:
        case StampSettingId::Box:
            return StyleSettingValue(id, settings).value_or(QString());
    }
    return QString();
}

}  // namespace

QString OptionHelpLines(char shortName, const QString& nameAndArgument, const QString& help) {
    const QString column = QStringLiteral("  %1--%2").arg(
        shortName != '\0' ? QStringLiteral("-%1, ").arg(QChar::fromLatin1(shortName))
                           : QStringLiteral("    "),
        nameAndArgument);
    constexpr int kTextColumn = 29;
    constexpr int kWidth = 90;
    QString lines = column.leftJustified(kTextColumn - 1) + QLatin1Char(' ');
    int used = static_cast<int>(lines.size());
    bool lineHasText = false;
    for (const QString& word : help.split(QLatin1Char(' '))) {
        if (lineHasText && used + 1 + word.size() > kWidth) {
            lines += QLatin1Char('\n') + QString(kTextColumn, QLatin1Char(' '));
            used = kTextColumn;
        } else if (lineHasText) {
            lines += QLatin1Char(' ');
            ++used;
        }
        lines += word;
        used += static_cast<int>(word.size());
        lineHasText = true;
    }
    return lines + QLatin1Char('\n');
}

QString StampSettingsText(const StampSettings& settings) {
    QString lines;
    for (const StampSettingDeclaration& setting : StampSettingTable()) {
        // A style setting is printed only when set: unset, the stamp is drawn as the
        // window draws it, and the lines of such a run stay the ones they always were.
        if (IsStyleSetting(setting.id) && !StyleSettingValue(setting.id, settings)) {
            continue;
        }
        // A template is printed under the word of its own option.
        const char* name = setting.id == StampSettingId::Text && settings.isTemplate
                               ? StampOptionOf(StampOption::Template).longName
                               : setting.name;
        lines += QStringLiteral("%1: %2\n")
                     .arg(QString::fromLatin1(name), SettingValue(setting.id, settings));
    }
    return lines;
}

QString StampOptionsHelpText() {
    QString lines;
    for (const StampSettingDeclaration& setting : StampSettingTable()) {
        for (const StampOptionWord& word : setting.options) {
            lines += OptionHelpLines(word.shortName,
                                     QStringLiteral("%1 %2").arg(QString::fromLatin1(word.longName),
                                                                 QString::fromLatin1(word.argument)),
                                     StampOptionHelp(setting, word));
        }
    }
    return lines;
}

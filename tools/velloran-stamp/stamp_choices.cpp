// SPDX-License-Identifier: MIT
#include "stamp_choices.h"

#include "command_line.h"
#include "core/canvas.h"
#include "core/stamp_modes.h"
#include "core/stamp_text.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "util/environment.h"
#include "util/paths.h"
#include "util/vb_convert.h"
#include "util/vb_error.h"

#include <QColor>
#include <QFile>

#include <cmath>

namespace {

QString Key(const char* name) {
    return QString::fromLatin1(name);
}

constexpr quint32 kWhite = 0xFFFFFF;
// The font sizes the stamp-text box takes.
constexpr double kLargestFontSize = 2048;

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

// The desktop default of "Output Folder"; "" when the desktop cannot be determined,
// which leaves the window's output-folder box empty.
QString DesktopDefault(const Environment& env) {
    try {
        return GetDesktopFolder(env);
    } catch (const VbError&) {
        return QString();
    }
}

}  // namespace

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

StampChoices BuiltinChoices(const Environment& env) {
    StampChoices choices;
    choices.mode = 0;
    choices.text = QString::fromLatin1(kPlaceholderText);
    choices.position = StampPositionTexts().first();
    choices.fontName = QStringLiteral("Arial");
    choices.fontSize = 24;
    choices.bold = true;
    choices.color = kWhite;
    choices.quality = 85;
    choices.outputFolder = QFile::encodeName(DesktopDefault(env));
    return choices;
}

StampChoices StoredChoices(const SettingsStore& store, const Environment& env,
                           double designFontSize, SettingsWarnings* warnings) {
    // Each step takes the window's restore step: the same key, default and conversion.
    // Where the window's step fails, its control keeps the value of the window's design,
    // and so does the choice here.
    StampChoices c;
    auto warn = [&](const char* key, const QString& value, const QString& effect) {
        if (warnings != nullptr) {
            *warnings << QStringLiteral("stored %1 %2 cannot be used: %3")
                             .arg(Quoted(Key(key)), Quoted(value), effect);
        }
    };

    const QString position = store.GetSetting(Key(key::kPosition), StampPositionTexts().first());
    if (StampPositionTexts().contains(position)) {
        c.position = position;
    } else {
        c.position.clear();
        warn(key::kPosition, position, QStringLiteral("no position, nothing is drawn"));
    }

    // The colour swatch starts white; the stamp-text box takes the swatch's colour.
    const QString color = store.GetSetting(Key(key::kFontColor), QStringLiteral("16777215"));
    c.color = kWhite;
    try {
        const double value = RoundHalfEven(ToDouble(color));
        if (value < 0 || value > kWhite) {
            Raise(vberr::kInvalidPropertyValue);
        }
        c.color = static_cast<quint32>(value);
    } catch (const VbError&) {
        warn(key::kFontColor, color, QStringLiteral("white"));
    }

    c.fontName = store.GetSetting(Key(key::kFontName), QStringLiteral("Arial"));
    c.bold = IsTrueText(store.GetSetting(Key(key::kFontBold), QStringLiteral("True")));
    c.italic = IsTrueText(store.GetSetting(Key(key::kFontItalic), QStringLiteral("False")));
    const QString size = store.GetSetting(Key(key::kFontSize), QStringLiteral("24"));
    c.fontSize = designFontSize;
    try {
        const qint16 points = ToInt16(size);
        if (points <= 0 || points > kLargestFontSize) {
            Raise(vberr::kInvalidPropertyValue);
        }
        c.fontSize = points;
    } catch (const VbError&) {
        warn(key::kFontSize, size, QStringLiteral("%1 points").arg(designFontSize));
    }
    c.strikeout =
        IsTrueText(store.GetSetting(Key(key::kFontStrikeThruRead), QStringLiteral("False")));
    c.underline =
        IsTrueText(store.GetSetting(Key(key::kFontUnderLineRead), QStringLiteral("False")));

    // A mode text the list does not hold leaves the list without a choice: the box
    // keeps "Your text goes here" and no source changes it, as in mode 0.
    const QString mode = store.GetSetting(Key(key::kCombo1), StampModeTexts().first());
    c.mode = static_cast<int>(StampModeTexts().indexOf(mode));
    if (c.mode < 0) {
        warn(key::kCombo1, mode, QStringLiteral("your text"));
        c.mode = 0;
    }
    c.text = ModeText(c.mode, env);

    const QString quality = store.GetSetting(Key(key::kSlider1), QStringLiteral("85"));
    c.quality = 85;
    try {
        const qint32 value = ToInt32(quality);
        if (value < 0 || value > 100) {
            Raise(vberr::kInvalidPropertyValue);
        }
        c.quality = value;
    } catch (const VbError&) {
        warn(key::kSlider1, quality, QStringLiteral("quality 85"));
    }

    const QString desktop = DesktopDefault(env);
    c.outputFolder = QFile::encodeName(
        desktop.isEmpty() ? QString() : store.GetSetting(Key(key::kOutputFolder), desktop));
    return c;
}

void ApplyFontText(StampChoices& choices, const QString& fontText) {
    const QStringList parts = fontText.split(QLatin1Char(','));
    const QString family = parts.first().trimmed();
    if (family.isEmpty()) {
        throw UsageError(
            QStringLiteral("--font %1: the font family is missing").arg(Quoted(fontText)));
    }
    StampChoices font = choices;
    font.fontName = family;
    font.bold = font.italic = font.strikeout = font.underline = false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString word = parts.at(i).trimmed().toLower();
        bool isNumber = false;
        const double size = word.toDouble(&isNumber);
        if (isNumber) {
            if (!(size > 0) || size > kLargestFontSize) {
                throw UsageError(
                    QStringLiteral("--font %1: the size must be above 0 and at most %2")
                        .arg(Quoted(fontText))
                        .arg(kLargestFontSize));
            }
            font.fontSize = size;
        } else if (word == QLatin1String("bold")) {
            font.bold = true;
        } else if (word == QLatin1String("italic")) {
            font.italic = true;
        } else if (word == QLatin1String("strikeout")) {
            font.strikeout = true;
        } else if (word == QLatin1String("underline")) {
            font.underline = true;
        } else {
            throw UsageError(QStringLiteral("--font %1: unknown word %2 (a size, bold, italic, "
                                            "strikeout or underline)")
                                 .arg(Quoted(fontText), Quoted(parts.at(i).trimmed())));
        }
    }
    choices = font;
}

QString FontText(const StampChoices& choices) {
    QString fontText = choices.fontName + QLatin1Char(',') + QString::number(choices.fontSize);
    if (choices.bold) {
        fontText += QStringLiteral(",bold");
    }
    if (choices.italic) {
        fontText += QStringLiteral(",italic");
    }
    if (choices.strikeout) {
        fontText += QStringLiteral(",strikeout");
    }
    if (choices.underline) {
        fontText += QStringLiteral(",underline");
    }
    return fontText;
}

quint32 ParseColor(const QString& text) {
    const QColor color = QColor::fromString(text.trimmed());
    if (text.trimmed().isEmpty() || !color.isValid()) {
        throw UsageError(QStringLiteral("--color %1: not a colour (#RRGGBB or a colour name)")
                             .arg(Quoted(text)));
    }
    return BgrFromColor(color);
}

namespace {

int WordIndex(const QStringList& words, const QString& word, const char* option) {
    const qsizetype index = words.indexOf(word.trimmed().toLower());
    if (index < 0) {
        throw UsageError(
            QStringLiteral("%1 %2: choose one of %3")
                .arg(QString::fromLatin1(option), Quoted(word), words.join(QStringLiteral(", "))));
    }
    return static_cast<int>(index);
}

// Lines typed on a command line end in LF; the stamp-text box parts lines with CR LF.
QString BoxLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

}  // namespace

void ApplyOverrides(StampChoices& choices, const CommandLine& line, const Environment& env) {
    if (line.text && line.templateText) {
        throw UsageError(QStringLiteral("--text and --template cannot be used together"));
    }
    const bool ownText = line.text || line.templateText;
    if (line.mode) {
        choices.mode = WordIndex(ModeWords(), *line.mode, "--mode");
        choices.text = ModeText(choices.mode, env);
    } else if (ownText) {
        choices.mode = 0;
    }
    if (ownText) {
        if (choices.mode != 0) {
            throw UsageError(
                QStringLiteral("%1 needs --mode text")
                    .arg(line.text ? QStringLiteral("--text") : QStringLiteral("--template")));
        }
        choices.text = BoxLines(line.text ? *line.text : *line.templateText);
        choices.isTemplate = line.templateText.has_value();
    }
    if (line.position) {
        choices.position =
            StampPositionTexts().at(WordIndex(PositionWords(), *line.position, "--position"));
    }
    if (line.font) {
        ApplyFontText(choices, *line.font);
    }
    if (line.color) {
        choices.color = ParseColor(*line.color);
    }
    if (line.quality) {
        bool ok = false;
        const int quality = line.quality->trimmed().toInt(&ok);
        if (!ok || quality < 1 || quality > 100) {
            throw UsageError(QStringLiteral("--quality %1: a whole number from 1 to 100")
                                 .arg(Quoted(*line.quality)));
        }
        choices.quality = quality;
    }
    if (line.output) {
        if (line.output->isEmpty()) {
            throw UsageError(QStringLiteral("--output: the folder name is empty"));
        }
        choices.outputFolder = *line.output;
    }
}

QString SettingsText(const StampChoices& choices) {
    // The text is shown with its line breaks as "\n", so one setting stays one line.
    QString text = choices.text;
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    const int position = static_cast<int>(StampPositionTexts().indexOf(choices.position));
    const QColor color = ColorFromBgr(choices.color);
    QString lines;
    lines += QStringLiteral("output: %1\n").arg(QFile::decodeName(choices.outputFolder));
    lines += QStringLiteral("mode: %1\n").arg(ModeWords().at(choices.mode));
    lines +=
        QStringLiteral("%1: %2\n")
            .arg(choices.isTemplate ? QStringLiteral("template") : QStringLiteral("text"), text);
    lines += QStringLiteral("position: %1\n")
                 .arg(position < 0 ? QStringLiteral("none") : PositionWords().at(position));
    lines += QStringLiteral("font: %1\n").arg(FontText(choices));
    lines += QStringLiteral("color: %1\n").arg(color.name().toUpper());
    lines += QStringLiteral("quality: %1\n").arg(choices.quality);
    return lines;
}

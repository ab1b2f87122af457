// SPDX-License-Identifier: MIT
#include "engine/stamp_style_parsing.h"

#include <QColor>
#include <QLocale>

#include <cmath>
#include <initializer_list>

namespace {

using Unit = StampLength::Unit;

// One accepted unit of a length: its suffix and the largest number it takes.
struct UnitRule {
    QLatin1StringView suffix;
    Unit unit;
    double most;
    // Shares are written in per cent and kept as fractions.
    double scale = 1;
};

constexpr UnitRule kShare{QLatin1StringView("%"), Unit::ShorterSide, 100, 0.01};
constexpr UnitRule kSmallShare{QLatin1StringView("%"), Unit::ShorterSide, 25, 0.01};
constexpr UnitRule kPixels{QLatin1StringView("px"), Unit::Pixels, 10000};
constexpr UnitRule kEm{QLatin1StringView("em"), Unit::Em, 10};

// A number with a unit from `rules`; `zeroAllowed` says whether 0 is a value. `forms` is
// the message's list of accepted forms.
StyleParse<StampLength> ParseLength(QStringView text, std::initializer_list<UnitRule> rules,
                                    bool zeroAllowed, const QString& forms) {
    text = text.trimmed();
    for (const UnitRule& rule : rules) {
        if (!text.endsWith(rule.suffix, Qt::CaseInsensitive)) {
            continue;
        }
        const QStringView number = text.chopped(rule.suffix.size()).trimmed();
        bool ok = false;
        const double value = QLocale::c().toDouble(number, &ok);
        // toDouble takes "inf", "nan" and signs; only a plain non-negative number is a size.
        if (!ok || !std::isfinite(value) || number.startsWith(QLatin1Char('-')) ||
            number.startsWith(QLatin1Char('+'))) {
            break;
        }
        if (value < 0 || value > rule.most || (!zeroAllowed && value == 0)) {
            return {std::nullopt,
                    QStringLiteral("%1%2 is out of range (%3 to %4%2)")
                        .arg(number, rule.suffix, zeroAllowed ? QStringLiteral("0")
                                                               : QStringLiteral("more than 0"),
                             QString::number(rule.most))};
        }
        return {StampLength{rule.unit, value * rule.scale}, {}};
    }
    return {std::nullopt, QStringLiteral("not a length (%1)").arg(forms)};
}

}  // namespace

StyleParse<StampLength> ParseStampSize(QStringView text) {
    return ParseLength(text, {kShare, kPixels}, false,
                       QStringLiteral("a share of the shorter side like 3%, or pixels like 48px"));
}

StyleParse<StampLength> ParseStampMargin(QStringView text) {
    return ParseLength(text, {kSmallShare, kPixels, kEm}, true,
                       QStringLiteral("a share of the shorter side like 2%, pixels like 20px, "
                                      "or the text's size like 1em"));
}

StyleParse<QRgb> ParseStampColor(QStringView text) {
    text = text.trimmed();
    // QColor reads "#AARRGGBB" with its alpha, and names; it also reads forms without a
    // "#" that a user would not expect to work, so only the documented shapes reach it.
    const QColor color = text.isEmpty() ? QColor() : QColor::fromString(text);
    if (!color.isValid()) {
        return {std::nullopt,
                QStringLiteral("not a colour (#RRGGBB, #AARRGGBB with alpha, or a colour name)")};
    }
    // A colour that draws nothing is a mistake, most often alpha written last as in CSS.
    if (color.alpha() == 0) {
        return {std::nullopt, QStringLiteral("fully transparent: the alpha comes first, "
                                             "#AARRGGBB (half-transparent black is #80000000)")};
    }
    return {color.rgba(), {}};
}

StyleParse<StampTextColor> ParseStampTextColor(QStringView text) {
    text = text.trimmed();
    const QLatin1StringView automatic("auto");
    if (text.compare(automatic, Qt::CaseInsensitive) == 0) {
        StampTextColor color;
        color.automatic = true;
        return {color, {}};
    }
    if (text.startsWith(QLatin1StringView("auto:"), Qt::CaseInsensitive)) {
        const QStringView pair = text.mid(automatic.size() + 1);
        const qsizetype comma = pair.indexOf(QLatin1Char(','));
        const StyleParse<QRgb> first =
            comma < 0 ? StyleParse<QRgb>{} : ParseStampColor(pair.left(comma));
        const StyleParse<QRgb> second =
            comma < 0 ? StyleParse<QRgb>{} : ParseStampColor(pair.mid(comma + 1));
        if (!first.value || !second.value) {
            return {std::nullopt,
                    QStringLiteral("auto needs two colours, like auto:#FFD700,#202020")};
        }
        StampTextColor color;
        color.automatic = true;
        color.first = *first.value;
        color.second = *second.value;
        return {color, {}};
    }
    const StyleParse<QRgb> fixed = ParseStampColor(text);
    if (!fixed.value) {
        return {std::nullopt,
                QStringLiteral("not a colour (#RRGGBB, #AARRGGBB with alpha, a colour name, "
                               "auto, or auto:COLOR,COLOR)")};
    }
    StampTextColor color;
    color.fixed = *fixed.value;
    return {color, {}};
}

StyleParse<StampDecoration> ParseStampDecoration(QStringView text) {
    text = text.trimmed();
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    const QStringView lengthText = (comma < 0 ? text : text.left(comma)).trimmed();
    StampDecoration decoration;
    if (!lengthText.isEmpty()) {
        const StyleParse<StampLength> length = ParseLength(
            lengthText, {kEm, kPixels, kSmallShare}, true,
            QStringLiteral("[LENGTH][,COLOR] with a length like 0.1em, 3px or 1%"));
        if (!length.value) {
            return {std::nullopt, length.error};
        }
        decoration.length = length.value;
    }
    if (comma >= 0) {
        const StyleParse<QRgb> color = ParseStampColor(text.mid(comma + 1));
        if (!color.value) {
            return {std::nullopt, color.error};
        }
        decoration.color = color.value;
    }
    return {decoration, {}};
}

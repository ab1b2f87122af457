// SPDX-License-Identifier: MIT
#pragma once

#include "core/stamp_style.h"

#include <QRgb>
#include <QString>
#include <QStringView>

#include <optional>

// The texts a user writes for a stamp's style, turned into values. Each function returns
// the value, or no value and a message saying what is wrong and which forms are accepted,
// for the caller to show after the option's name. Surrounding blanks are ignored; numbers
// use a dot for decimals and are never negative.
template <typename T>
struct StyleParse {
    std::optional<T> value;
    QString error;
};

// A text size, the cap height of the text:
//   "3%"    a share of the picture's shorter side (more than 0, at most 100 %)
//   "48px"  pixels (more than 0, at most 10000)
StyleParse<StampLength> ParseStampSize(QStringView text);

// The distance of the stamp from the picture's edges:
//   "2%"    a share of the shorter side (0 to 25 %)
//   "20px"  pixels (0 to 10000)
//   "1em"   multiples of the text's size (0 to 10)
StyleParse<StampLength> ParseStampMargin(QStringView text);

// A colour with optional alpha:
//   "#RRGGBB", "#RGB"   opaque
//   "#AARRGGBB"          alpha first, as Qt writes it ("#80FFFFFF" is half-transparent white)
//   "white", "navy" ...  an SVG colour name, opaque
// A fully transparent colour ("#00000080", "transparent") is refused: it would draw nothing.
StyleParse<QRgb> ParseStampColor(QStringView text);

// The text colour:
//   any form of ParseStampColor
//   "auto"                       per picture white or black, whichever reads better
//   "auto:#FFD700,#202020"       per picture the better of the two colours given
StyleParse<StampTextColor> ParseStampTextColor(QStringView text);

// An outline, a shadow or a box: "[LENGTH][,COLOR]", each part optional, so "" (the
// defaults), "0.1em", "3px", "1%", ",#80000000" and "0.4em,#80000000" are all accepted.
// LENGTH (the outline's width, the shadow's offset, the box's padding) is "Nem" (0 to 10),
// "Npx" (0 to 10000) or "N%" of the shorter side (0 to 25 %); COLOR is as ParseStampColor.
StyleParse<StampDecoration> ParseStampDecoration(QStringView text);

// SPDX-License-Identifier: MIT
#pragma once

#include <QRgb>

#include <optional>

// A length of the stamp's geometry, resolved against the picture and the text only when
// a picture is stamped, so one style gives the same look on pictures of every size.
struct StampLength {
    enum class Unit {
        // A fraction of the picture's shorter side (0.03 for "3%").
        ShorterSide,
        // Pixels of the picture.
        Pixels,
        // Multiples of the text's em, its font size in pixels.
        Em,
    };
    Unit unit = Unit::Pixels;
    double value = 0;

    // The length in pixels on a picture whose shorter side is `shorterSide`, for text whose
    // em is `em` pixels.
    double InPixels(double shorterSide, double em) const {
        switch (unit) {
        case Unit::ShorterSide:
            return value * shorterSide;
        case Unit::Em:
            return value * em;
        case Unit::Pixels:
            break;
        }
        return value;
    }

    bool operator==(const StampLength&) const = default;
};

// An outline, a shadow or a box: a length (the outline's width, the shadow's offset, the
// box's padding) and a colour with alpha, each unset for its default.
struct StampDecoration {
    std::optional<StampLength> length;
    std::optional<QRgb> color;

    bool operator==(const StampDecoration&) const = default;
};

// The text colour of a styled stamp: a fixed colour with alpha, or the one of a pair that
// stands out most from each picture's pixels behind the stamp.
struct StampTextColor {
    bool automatic = false;
    // The colour when not automatic (0xAARRGGBB).
    QRgb fixed = 0xFFFFFFFF;
    // The pair an automatic colour is chosen from (0xAARRGGBB).
    QRgb first = 0xFFFFFFFF;
    QRgb second = 0xFF000000;

    bool operator==(const StampTextColor&) const = default;
};

// How a stamp is drawn beyond its font: its size and margin relative to the picture, its
// colour with alpha or chosen per picture, and what makes it legible on any background.
// Every member left unset keeps today's drawing of that aspect; the settings hold no style
// at all for the window's stamps, which are drawn exactly as before.
struct StampStyle {
    // The text's cap height: a share of the shorter side or pixels. Unset: the font's
    // point size.
    std::optional<StampLength> size;
    // The distance of the stamp from the picture's edges. Unset: the window's margins.
    std::optional<StampLength> margin;
    // A stroke around every glyph. Default width 0.06 em, colour the one opposite the text.
    std::optional<StampDecoration> outline;
    // A soft drop shadow. Default offset 0.06 em, colour the one opposite the text at 70 %.
    std::optional<StampDecoration> shadow;
    // A filled rectangle behind the text. Default padding 0.3 em, colour the one opposite
    // the text at 60 %.
    std::optional<StampDecoration> box;
    // Unset: the settings' colour, opaque.
    std::optional<StampTextColor> color;

    bool operator==(const StampStyle&) const = default;
};

// SPDX-License-Identifier: MIT
#include "ui/color_name.h"

#include <array>

namespace {

struct HueName {
    int below;  // hue in degrees, exclusive upper end
    const char* name;
};

// Hue bands as people name them; the wheel ends where it started, in red.
constexpr std::array<HueName, 9> kHues = {{{15, "red"},
                                           {45, "orange"},
                                           {70, "yellow"},
                                           {165, "green"},
                                           {195, "cyan"},
                                           {255, "blue"},
                                           {290, "purple"},
                                           {335, "magenta"},
                                           {360, "red"}}};

}  // namespace

QString ColorName(const QColor& color) {
    const QColor hsl = color.toHsl();
    const int lightness = hsl.lightness();  // 0..255
    // Below about one tenth of full saturation the eye sees no hue; a hue is also lost
    // at the very dark and very light ends.
    if (hsl.hslSaturation() < 26 || lightness < 13 || lightness > 242) {
        if (lightness < 32) {
            return QStringLiteral("black");
        }
        if (lightness > 223) {
            return QStringLiteral("white");
        }
        if (lightness < 90) {
            return QStringLiteral("dark grey");
        }
        return lightness > 165 ? QStringLiteral("light grey") : QStringLiteral("grey");
    }
    const int hue = hsl.hslHue();
    QString name = QStringLiteral("red");
    for (const HueName& band : kHues) {
        if (hue < band.below) {
            name = QString::fromLatin1(band.name);
            break;
        }
    }
    // Dark orange is what everyone calls brown, dark magenta purple and light red pink.
    if (lightness < 100 && name == QLatin1String("orange")) {
        return QStringLiteral("brown");
    }
    if (lightness < 80 && name == QLatin1String("magenta")) {
        return QStringLiteral("purple");
    }
    if (lightness > 170 && name == QLatin1String("red")) {
        return QStringLiteral("pink");
    }
    if (lightness < 80) {
        return QStringLiteral("dark ") + name;
    }
    if (lightness > 180) {
        return QStringLiteral("light ") + name;
    }
    return name;
}

// SPDX-License-Identifier: MIT
#include "core/auto_text_color.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

// Samples taken at most from one region: enough for a tenth's percentile to be steady,
// few enough to cost nothing beside a picture's decoding.
constexpr double kMaxSamples = 16384;

double Linear(int channel) {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> values{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            values[static_cast<size_t>(i)] =
                c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return values;
    }();
    return table[static_cast<size_t>(channel & 0xFF)];
}

int Blend(int over, int under, int alpha) {
    return (over * alpha + under * (255 - alpha) + 127) / 255;
}

// The contrast `text` keeps against all but the worst tenth of `background`.
double TenthContrast(double text, std::vector<double> background) {
    for (double& luminance : background) {
        luminance = ContrastRatio(text, luminance);
    }
    const auto tenth = background.begin() + static_cast<std::ptrdiff_t>(background.size() / 10);
    std::nth_element(background.begin(), tenth, background.end());
    return *tenth;
}

}  // namespace

double RelativeLuminance(QRgb color) {
    return 0.2126 * Linear(qRed(color)) + 0.7152 * Linear(qGreen(color)) +
           0.0722 * Linear(qBlue(color));
}

double ContrastRatio(double first, double second) {
    const auto [dark, light] = std::minmax(first, second);
    return (light + 0.05) / (dark + 0.05);
}

TextColorChoice ChooseTextColor(const QImage& picture, QRect region, QRgb first, QRgb second,
                                QRgb cover) {
    region = region.intersected(picture.rect());
    if (region.isEmpty()) {
        return {first, second, 21};
    }
    QImage pixels = picture;
    if (pixels.format() != QImage::Format_RGB32 && pixels.format() != QImage::Format_ARGB32) {
        pixels = picture.copy(region).convertToFormat(QImage::Format_RGB32);
        region.moveTopLeft(QPoint(0, 0));
    }
    const double area = double(region.width()) * region.height();
    const int step = std::max(1, static_cast<int>(std::ceil(std::sqrt(area / kMaxSamples))));
    const int coverAlpha = qAlpha(cover);
    std::vector<double> background;
    background.reserve(static_cast<size_t>((region.width() / step + 1) *
                                           (region.height() / step + 1)));
    for (int y = region.top(); y <= region.bottom(); y += step) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = region.left(); x <= region.right(); x += step) {
            QRgb pixel = row[x];
            if (coverAlpha > 0) {
                pixel = qRgb(Blend(qRed(cover), qRed(pixel), coverAlpha),
                             Blend(qGreen(cover), qGreen(pixel), coverAlpha),
                             Blend(qBlue(cover), qBlue(pixel), coverAlpha));
            }
            background.push_back(RelativeLuminance(pixel));
        }
    }
    const double firstContrast = TenthContrast(RelativeLuminance(first), background);
    const double secondContrast = TenthContrast(RelativeLuminance(second), background);
    if (secondContrast > firstContrast) {
        return {second, first, secondContrast};
    }
    return {first, second, firstContrast};
}

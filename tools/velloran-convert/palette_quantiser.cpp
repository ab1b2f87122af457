// SPDX-License-Identifier: MIT
#include "palette_quantiser.h"

#include <libimagequant.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace velloran::convert {

namespace {

constexpr int kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

// libimagequant's speed 1 (best) to 10 (fastest).
constexpr int kSpeed = 8;

constexpr int kCellBits = 6;
constexpr int kCells = 1 << kCellBits;

struct AttrFree {
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
};
struct ImageFree {
    void operator()(liq_image* image) const { liq_image_destroy(image); }
};
struct ResultFree {
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};

struct Feed {
    const RowSource* rows;
};

// libimagequant may ask for rows from several threads; each call has its own buffers.
void feedRow(liq_color out[], int y, int width, void* user) {
    const auto* feed = static_cast<Feed*>(user);
    std::vector<QRgb> row(static_cast<size_t>(width));
    std::vector<bool> opaque(static_cast<size_t>(width));
    (*feed->rows)(y, row, opaque);
    for (int x = 0; x < width; ++x) {
        const QRgb c = row[size_t(x)];
        out[x] = {uchar(qRed(c)), uchar(qGreen(c)), uchar(qBlue(c)),
                  uchar(opaque[size_t(x)] ? 255 : 0)};
    }
}

int distance(QRgb a, int r, int g, int b) {
    const int dr = qRed(a) - r, dg = qGreen(a) - g, db = qBlue(a) - b;
    return dr * dr + dg * dg + db * db;
}

}  // namespace

QList<QRgb> adaptivePalette(int width, int height, int maxColours, const RowSource& rows,
                            QString* error) {
    const std::unique_ptr<liq_attr, AttrFree> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), std::clamp(maxColours, 2, 256)) != LIQ_OK ||
        liq_set_speed(attr.get(), kSpeed) != LIQ_OK) {
        *error = QStringLiteral("cannot set up the colour quantiser");
        return {};
    }
    Feed feed{&rows};
    const std::unique_ptr<liq_image, ImageFree> image(
        liq_image_create_custom(attr.get(), feedRow, &feed, width, height, 0));
    liq_result* raw = nullptr;
    if (!image || liq_image_quantize(image.get(), attr.get(), &raw) != LIQ_OK) {
        *error = QStringLiteral("cannot choose a palette for the picture");
        return {};
    }
    const std::unique_ptr<liq_result, ResultFree> result(raw);
    const liq_palette* palette = liq_get_palette(result.get());
    QList<QRgb> colours;
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color c = palette->entries[i];
        if (c.a >= 128)
            colours.append(qRgb(c.r, c.g, c.b));
    }
    if (colours.isEmpty())
        colours.append(qRgb(255, 255, 255));
    return colours;
}

OrderedDitherMapper::OrderedDitherMapper(const QList<QRgb>& palette, bool dither)
    : palette_(palette), dither_(dither), cache_(size_t(kCells) * kCells * kCells) {}

int OrderedDitherMapper::nearest(int r, int g, int b) const {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < palette_.size(); ++i) {
        const int d = distance(palette_[i], r, g, b);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

// The colour lies between its nearest entry and the entry nearest to its mirror image
// through that entry; the share of the second is where the colour falls on the line
// between the two.
OrderedDitherMapper::Mix OrderedDitherMapper::mixFor(int r, int g, int b) const {
    Mix mix;
    mix.first = short(nearest(r, g, b));
    const QRgb a = palette_[mix.first];
    if (!dither_)
        return mix;
    mix.second =
        short(nearest(std::clamp(2 * r - qRed(a), 0, 255), std::clamp(2 * g - qGreen(a), 0, 255),
                      std::clamp(2 * b - qBlue(a), 0, 255)));
    const QRgb c = palette_[mix.second];
    const int dr = qRed(c) - qRed(a), dg = qGreen(c) - qGreen(a), db = qBlue(c) - qBlue(a);
    const int length = dr * dr + dg * dg + db * db;
    if (length > 0) {
        const int along = (r - qRed(a)) * dr + (g - qGreen(a)) * dg + (b - qBlue(a)) * db;
        mix.share = uchar(std::clamp(along * 64 / length, 0, 64));
    }
    return mix;
}

int OrderedDitherMapper::index(QRgb colour, int x, int y) {
    constexpr int shift = 8 - kCellBits;
    const int r = qRed(colour) >> shift, g = qGreen(colour) >> shift, b = qBlue(colour) >> shift;
    Mix& mix = cache_[size_t((r * kCells + g) * kCells + b)];
    if (mix.first < 0) {
        constexpr int half = 1 << (shift - 1);
        mix = mixFor((r << shift) + half, (g << shift) + half, (b << shift) + half);
    }
    // The Bayer threshold picks the second entry in `share` of 64 places of every 8x8 tile.
    return kBayer8[y & 7][x & 7] < mix.share ? mix.second : mix.first;
}

CubeDitherMapper::CubeDitherMapper(int maxColours, bool dither) : dither_(dither) {
    if (maxColours < 8) {
        levels_ = {maxColours, 1, 1};
        grey_ = true;
    } else {
        int n = 2;
        while ((n + 1) * (n + 1) * (n + 1) <= maxColours)
            ++n;
        levels_ = {n, n, n};
        // Green gets an extra level first, then red, because the eye resolves those best.
        if (levels_[0] * (levels_[1] + 1) * levels_[2] <= maxColours)
            ++levels_[1];
        if ((levels_[0] + 1) * levels_[1] * levels_[2] <= maxColours)
            ++levels_[0];
    }
    // A single level (two colours with one of them transparent) is black.
    const auto value = [](int level, int count) {
        return count > 1 ? level * 255 / (count - 1) : 0;
    };
    for (int r = 0; r < levels_[0]; ++r) {
        for (int g = 0; g < levels_[1]; ++g) {
            for (int b = 0; b < levels_[2]; ++b) {
                palette_.append(
                    grey_ ? qRgb(value(r, levels_[0]), value(r, levels_[0]), value(r, levels_[0]))
                          : qRgb(value(r, levels_[0]), value(g, levels_[1]), value(b, levels_[2])));
            }
        }
    }
}

int CubeDitherMapper::index(QRgb colour, int x, int y) const {
    // The threshold (odd, 1..127) is the dither offset in 128ths of a step; 64 rounds.
    const int t = dither_ ? 2 * kBayer8[y & 7][x & 7] + 1 : 64;
    const auto level = [t](int value, int levels) {
        return (value * (levels - 1) * 128 + t * 255) / (255 * 128);
    };
    if (grey_)
        return level(qGray(colour), levels_[0]);
    return (level(qRed(colour), levels_[0]) * levels_[1] + level(qGreen(colour), levels_[1])) *
               levels_[2] +
           level(qBlue(colour), levels_[2]);
}

}  // namespace velloran::convert

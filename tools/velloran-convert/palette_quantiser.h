// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <vector>

namespace velloran::convert {

// Fills `row` (the picture's width) with the opaque colours of row `y`; transparent
// pixels are left out of the palette by passing false in `opaque`.
using RowSource = std::function<void(int y, std::vector<QRgb>& row, std::vector<bool>& opaque)>;

// An adaptive palette of at most `maxColours` colours for a width x height picture read
// row by row (libimagequant), so no copy of the picture is made.
QList<QRgb> adaptivePalette(int width, int height, int maxColours, const RowSource& rows,
                            QString* error);

// Below this many colours an adaptive palette cannot span the range of a photo: colours
// outside it are clipped and areas come out too dull (16 colours: 27 dB in 8x8 block
// averages against 30 dB for the cube). Smaller palettes use the evenly spaced cube.
inline constexpr int kMinAdaptiveColours = 32;

// The largest evenly spaced colour cube with at most `maxColours` entries (green given an
// extra level first, then red; a grey ramp below 8 colours), each channel dithered on its
// own with the 8x8 Bayer matrix, or rounded when not dithering.
class CubeDitherMapper {
public:
    CubeDitherMapper(int maxColours, bool dither);
    const QList<QRgb>& palette() const { return palette_; }
    int index(QRgb colour, int x, int y) const;

private:
    std::array<int, 3> levels_{};
    bool grey_ = false;
    bool dither_;
    QList<QRgb> palette_;
};

// Maps colours onto a palette with an 8x8 ordered (Bayer) dither. Each colour is placed
// between two entries, its nearest one and the one nearest to its mirror image through
// that entry, and the Bayer threshold of the pixel's position picks one of the two in the
// proportion that gives the colour on average: ordered dithering as with a colour cube,
// but against any palette. Without dithering the nearest entry is taken. Mixes are worked
// out once per 6-bit colour cell and cached.
class OrderedDitherMapper {
public:
    OrderedDitherMapper(const QList<QRgb>& palette, bool dither);
    int index(QRgb colour, int x, int y);

private:
    struct Mix {
        short first = -1;
        short second = 0;
        uchar share = 0;  // of 64 places in the Bayer tile, how many take `second`
    };
    int nearest(int r, int g, int b) const;
    Mix mixFor(int r, int g, int b) const;

    QList<QRgb> palette_;
    bool dither_;
    std::vector<Mix> cache_;
};

}  // namespace velloran::convert

// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <optional>

// Sizes read from a file can be anything up to the field's range; their products are
// taken only through this, so a hostile header can never wrap round to a small number.

// width x height x bytesPerPixel, or nothing when any factor is negative or the product
// does not fit 63 bits.
inline std::optional<qint64> CheckedPixelBytes(qint64 width, qint64 height,
                                               qint64 bytesPerPixel) {
    qint64 pixels = 0;
    qint64 bytes = 0;
    if (width < 0 || height < 0 || bytesPerPixel < 0 ||
        __builtin_mul_overflow(width, height, &pixels) ||
        __builtin_mul_overflow(pixels, bytesPerPixel, &bytes)) {
        return std::nullopt;
    }
    return bytes;
}

// True when the picture's pixels at `bytesPerPixel` need more than `limit` bytes
// (a product too large to compute needs more than any limit).
inline bool ExceedsBytes(qint64 width, qint64 height, qint64 bytesPerPixel, qint64 limit) {
    const std::optional<qint64> bytes = CheckedPixelBytes(width, height, bytesPerPixel);
    return !bytes || *bytes > limit;
}

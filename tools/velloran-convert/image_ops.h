// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

namespace velloran::convert {

// For formats that cannot carry a colour profile: converts the pixels to sRGB, which is what
// viewers assume for untagged files.
QImage toSrgb(const QImage& image);

// Transparency is composited onto white by FlattenOntoWhite (imageio/flatten_on_white.h),
// the loader's own.

// Scales down, keeping the aspect ratio, so neither side exceeds `maxSide`.
QImage shrinkToFit(const QImage& image, int maxSide);

}  // namespace velloran::convert

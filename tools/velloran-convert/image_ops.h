// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

namespace velloran::convert {

// For formats that cannot carry a colour profile: converts the pixels to sRGB, which is what
// viewers assume for untagged files.
QImage toSrgb(const QImage& image);

// Composites any transparency onto white. Returns Format_RGB32 with resolution and colour space
// kept.
QImage flattenOntoWhite(const QImage& image);

// Scales down, keeping the aspect ratio, so neither side exceeds `maxSide`.
QImage shrinkToFit(const QImage& image, int maxSide);

}  // namespace velloran::convert

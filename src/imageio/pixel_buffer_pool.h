// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

// Pixel memory for decoded pictures that outlives the pictures, so the next picture of a
// batch reuses it. Fresh memory of that size comes straight from the system and costs
// one page fault per 4 KB on first touch: about 12,000 for a 12-megapixel picture, a
// third of its decoding time. One spare buffer is kept (none above kMaxSpareBytes); a
// batch alternates between the canvas's picture and the next one, so steady state holds
// two buffers, no more than replacing one picture by the next needs anyway.
namespace pixel_buffer_pool {

inline constexpr qsizetype kMaxSpareBytes = qsizetype(256) * 1024 * 1024;

// An uninitialised Format_RGB32 image whose memory returns to the pool when the last
// copy of it goes; a null image when the memory cannot be had.
QImage NewRgb32Image(int width, int height);

}  // namespace pixel_buffer_pool

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace velloran::convert {

enum class PngFilter { None, Sub, Up, Paeth };
enum class ZlibStrategy { Default, Filtered, Rle, HuffmanOnly };

// How the PNG writer trades time for size; the member defaults are the converter's setting.
//
// PNG writing should cost at most twice the JPEG road of the batch (17.6 ms per 1920 x 1080
// picture for loading, stamping and saving at quality 85; the save alone takes 7.3 ms). libpng's
// default filter choice, every filter on every row and keep the best, made Qt's writer take 56 ms
// before any compression, so one fixed filter is used. Encoding 1920 x 1080 into memory, medians
// of 15 runs on the 2-core development machine; photo: a picture of the benchmark corpus (6.22 MB
// of raw pixels), flat: a screenshot-like picture of panels, a table, text and buttons:
//
//   filter  zlib level, strategy   photo ms    MB    flat ms    KB
//   none    0, stored                   13    6.22        12   6223
//   up      0, stored                   15    6.22        15   6223
//   none    1, default                 147    4.27        26    610
//   none    1, RLE                      73    5.70        37   1539
//   sub     1, default                  92    2.91        31    639
//   sub     1, RLE                      77    3.18        30   1084
//   sub     1, Huffman only             65    3.24        61   1741
//   up      1, default                  85    2.76        29    640
//   up      1, RLE                      69    3.03        28   1066   <- chosen
//   up      1, Huffman only             63    3.20        58   1734
//   paeth   1, default                 112    2.94        39    638
//   paeth   1, RLE                      98    3.05        37    950
//   up      2, default                  95    2.73        30    635
//   up      3, default                 144    2.58        30    630
//   Qt's writer at zlib level 2        145    2.88        56    615
//
// Z_FILTERED acts like the default below level 4, and RLE and Huffman-only codes do not depend on
// the level, so levels 2 and 3 only add time. Up with RLE is the fastest on both kinds together
// and halves a photo. No zlib setting reaches twice the JPEG road on photos: zlib's Huffman coder
// alone runs at about 100 MB/s here.
struct PngCompression {
    PngFilter filter = PngFilter::Up;
    int level = 1;  // zlib level, 0..9
    ZlibStrategy strategy = ZlibStrategy::Rle;
};

// Encodes `image` as PNG into `png`, pixel for pixel: 8 or 16 bits per channel as the image
// holds them, alpha when the image has an alpha channel, a palette for indexed images. The
// resolution, the colour space (an ICC profile, or the sRGB chunk for sRGB), the offset and the
// image's text travel along.
bool encodePng(const QImage& image, QByteArray* png, QString* error,
               const PngCompression& compression = {});

}  // namespace velloran::convert

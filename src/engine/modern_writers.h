// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/decoded_picture.h"

struct HeifPlanes;

#include <QIODevice>
#include <QImage>

// The encoders of today's formats. Each writes `picture` (Format_RGB32) as a whole file
// into `out`, with the metadata of `facts` (already corrected for the copy) and no
// thumbnail; the orientation written is always "as stored", since the picture is upright.
// `quality` is 1 to 100, as ClampQuality gives it. A failed write of `out` stops the
// encoder and is left for the caller to report; an encoder failure throws VbError 5
// naming the format.

// HEIC (HEVC through x265) or, when facts.av1, AVIF (AV1 through aom), with libheif at
// the quality heif-enc's -q gives. The ICC profile goes into a colr box.
void WriteHeif(const QImage& picture, int quality, const PictureFacts& facts, QIODevice& out);

// The same from a HEIF picture's own planes (HeifPlanes), encoded as they stand with the
// source's colour description, without a pass through RGB.
void WriteHeifPlanes(const HeifPlanes& planes, int quality, const PictureFacts& facts,
                     QIODevice& out);

// WebP with libwebp: lossy at the quality cwebp's -q gives; lossless (VP8L, libwebp's
// default effort) when facts.lossless. EXIF, XMP and ICC go into their chunks.
void WriteWebP(const QImage& picture, int quality, const PictureFacts& facts, QIODevice& out);

// JPEG XL with libjxl at the distance cjxl's -q gives for `quality` (100: lossless), at
// cjxl's default effort; a lossy picture too large for the encoder to hold at once is
// coded in bands of rows (JxlBandRows), a lossless one refused (VbError 5). EXIF and XMP go into boxes, the ICC profile into the codestream.
void WriteJxl(const QImage& picture, int quality, const PictureFacts& facts, QIODevice& out);

// The rows of each band a width x height picture is coded in, each band a layer of its
// own, so that libjxl holds only one band at a time; `height` when the picture is coded
// whole, as any picture the encoder can hold at once is.
int JxlBandRows(qint64 width, qint64 height, bool lossless);

// The butteraugli distance cjxl 0.7 maps a -q quality to; 0 for lossless.
double JxlDistanceForQuality(int quality);

// Raises the encoder failure of a writer: VbError 5 "Cannot save the image as <format>: <why>".
[[noreturn]] void RaiseEncoderFailure(const QString& format, const QString& why);

// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/decoded_picture.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <utility>
#include <vector>

struct HeifPlanes;

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

// WebP with libwebp: lossy at the quality cwebp's -q gives; lossless (VP8L) when
// facts.lossless. The encoder's effort is ChosenWebPOptions'. EXIF, XMP and ICC go into
// their chunks.
void WriteWebP(const QImage& picture, int quality, const PictureFacts& facts, QIODevice& out);

// JPEG XL with libjxl at the distance cjxl's -q gives for `quality` (100: lossless), at
// the effort of ChosenJxlOptions; a lossy picture too large for the encoder to hold at once
// is coded in bands of rows (JxlBandRows), a lossless one refused (VbError 5). EXIF and XMP
// go into boxes, the ICC profile into the codestream.
void WriteJxl(const QImage& picture, int quality, const PictureFacts& facts, QIODevice& out);

// Encoder options by name, set in this order over the library's defaults (which are
// cwebp's and cjxl's). WebP: the WebPConfig fields method, segments, filter_strength,
// filter_sharpness, filter_type, autofilter, sns_strength, pass, preprocessing,
// partitions, use_sharp_yuv, thread_level, exact, and lossless_quality (the effort of a
// lossless picture). JPEG XL: effort, decoding_speed, epf, gaborish, patches, dots, and
// threads (worker threads; 0 codes on the calling thread). An unknown name is an encoder
// failure.
using EncoderOptions = std::vector<std::pair<QByteArray, int>>;

// The options the writers use, chosen by bench/webp_jxl_settings_bench.sh: the least
// effort that brings a copy well below the reference tools' time while its quality per
// byte stays within a few percent of the defaults.
EncoderOptions ChosenWebPOptions(bool lossless);
EncoderOptions ChosenJxlOptions(bool lossless);

// The writers with the options given; with none, the libraries' defaults. For benchmarks
// and tests that compare settings on the writers' own road.
void WriteWebPWithOptions(const QImage& picture, int quality, const PictureFacts& facts,
                          QIODevice& out, const EncoderOptions& options);
void WriteJxlWithOptions(const QImage& picture, int quality, const PictureFacts& facts,
                         QIODevice& out, const EncoderOptions& options);

// The rows of each band a width x height picture is coded in, each band a layer of its
// own, so that libjxl holds only one band at a time; `height` when the picture is coded
// whole, as any picture the encoder can hold at once is.
int JxlBandRows(qint64 width, qint64 height, bool lossless);

// The butteraugli distance cjxl 0.7 maps a -q quality to; 0 for lossless.
double JxlDistanceForQuality(int quality);

// Raises the encoder failure of a writer: VbError 5 "Cannot save the image as <format>: <why>".
[[noreturn]] void RaiseEncoderFailure(const QString& format, const QString& why);

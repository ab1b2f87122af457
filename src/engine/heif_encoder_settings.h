// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/decoded_picture.h"
#include "imageio/image_limits.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <utility>
#include <vector>

// libheif encoder parameters as heif_encoder_set_parameter takes them (name, value), in
// the order they are set.
using HeifEncoderParameters = std::vector<std::pair<QByteArray, QByteArray>>;

// The parameters the HEIC and AVIF writer gives x265 (`av1` false) or aom at the slider's
// `quality`, chosen by bench/heif_settings_bench.sh: the fastest preset or speed whose
// quality per byte stays close to libheif's defaults, with one picture on every core.
HeifEncoderParameters ChosenHeifParameters(bool av1, int quality);

// WriteHeif with the encoder's parameters given; with none, libheif's own defaults (those
// heif-enc uses). For benchmarks that compare settings on the writer's own road.
void WriteHeifWithParameters(const QImage& picture, int quality, const PictureFacts& facts,
                             QIODevice& out, const HeifEncoderParameters& parameters);

// The most memory a HEIC or AVIF copy of a `width` x `height` picture takes while it is
// encoded with the chosen parameters, the picture handed to the writer included; measured
// by bench/heif_settings_bench.sh --memory.
qint64 HeifEncodePeakBytes(bool av1, int width, int height);

// The bound on that peak: the picture limit and 300 MB for the rest of the copy's road.
inline constexpr qint64 kHeifEncodeBoundBytes =
    kImageAllocationLimitBytes + qint64(300) * 1024 * 1024;

// Throws the encoder failure (VbError 5) when a copy of that size would take more than
// the bound; WriteHeif asks it before the encoder allocates anything.
void CheckHeifCopyFits(bool av1, int width, int height);

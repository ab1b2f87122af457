// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/ycbcr_plane_view.h"

#include <QByteArray>

#include <memory>
#include <optional>

struct heif_image;

// The colour description of a HEIF picture (nclx): what its YCbCr samples mean.
struct HeifColourDescription {
    int matrixCoefficients = 0;
    int colourPrimaries = 0;
    int transferCharacteristics = 0;
    bool fullRange = true;
};

// The primary picture of a HEIF file in its own 8-bit YCbCr planes, upright, as libheif
// decodes it before any colour conversion or chroma upsampling, with what its samples
// mean. Copies share the one libheif image.
struct HeifPlanes {
    std::shared_ptr<heif_image> image;
    int width = 0;
    int height = 0;
    int chromaAcross = 1;  // pixels per chroma sample
    int chromaDown = 1;
    YcbcrCoding coding;
    // The file's own description, which a copy carries again; none when the file gives
    // none (libheif then reads its samples as full-range BT.601).
    std::optional<HeifColourDescription> description;

    // The planes, writable, while the planes live.
    YcbcrPlaneView View() const;
    // Bytes held by the samples.
    qint64 Bytes() const;
};

// The coding a description names, for the matrices whose samples are a plain weighting
// of RGB (BT.601, BT.709, FCC, SMPTE 240M, BT.2020 without constant luminance, and
// "unspecified", which libheif reads as BT.601); nothing for any other.
std::optional<YcbcrCoding> CodingOfDescription(const HeifColourDescription& description);

// Whether libheif's encoder takes samples of this description as they stand. libheif 1.15
// re-codes samples of any other matrix or of the limited range into full-range BT.601
// while it encodes (and its decoder reads them as such), so only full-range BT.601
// pictures keep their samples through a copy made from their planes.
bool WrittenAsTheyStand(const HeifColourDescription& description);

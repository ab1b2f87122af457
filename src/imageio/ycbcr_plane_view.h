// SPDX-License-Identifier: MIT
#pragma once

#include <QSize>

#include <array>
#include <cstdint>

// How a picture's YCbCr samples stand for its RGB colours: the luma weights of red (kr)
// and blue (kb), and whether the samples use the full 0-255 range or the limited one
// (luma 16-235, chroma 16-240). The default is JFIF's, full-range BT.601.
struct YcbcrCoding {
    double kr = 0.299;
    double kb = 0.114;
    bool fullRange = true;
};

// A picture's three 8-bit colour planes as some owner holds them (a JPEG's blocks, a
// libheif image), seen without a copy: each chroma sample stands for `chromaAcross` x
// `chromaDown` pixels, and the last sample of a row or column covers what is left of the
// picture. Valid while its owner lives.
struct YcbcrPlaneView {
    int width = 0;
    int height = 0;
    int chromaAcross = 1;
    int chromaDown = 1;
    std::array<uint8_t*, 3> samples{};  // Y, Cb, Cr
    std::array<qsizetype, 3> strides{};
    YcbcrCoding coding;

    uint8_t* Row(int plane, int y) const {
        return samples[size_t(plane)] + qsizetype(y) * strides[size_t(plane)];
    }
    QSize Size() const { return QSize(width, height); }
};

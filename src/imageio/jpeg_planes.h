// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>
#include <memory>

// One colour plane of a JPEG picture as its blocks hold it: `samplesAcross` x `rows`
// samples, padded to whole MCUs, the padding repeating the picture's last column and row.
struct JpegPlane {
    int hSamp = 1;  // samples across per MCU block column, as the file's sampling factor
    int vSamp = 1;
    int samplesAcross = 0;
    int rows = 0;
    std::unique_ptr<uint8_t[]> samples;

    uint8_t* Row(int y) { return samples.get() + qsizetype(y) * samplesAcross; }
    const uint8_t* Row(int y) const { return samples.get() + qsizetype(y) * samplesAcross; }
};

// A JPEG picture in its own colour planes (Y, Cb, Cr; JFIF full-range), as a decoder holds
// it before any colour conversion or chroma upsampling. A greyscale picture carries
// neutral chroma planes at 4:2:0, so a coloured stamp can still be put on it.
struct JpegPlanes {
    int width = 0;
    int height = 0;
    // The JFIF resolution in dots per metre; 0 when the header gives none.
    int dotsPerMetreX = 0;
    int dotsPerMetreY = 0;
    std::array<JpegPlane, 3> planes;

    int MaxHSamp() const { return planes[0].hSamp; }
    int MaxVSamp() const { return planes[0].vSamp; }
    // The size of one MCU in pixels: the step every rectangle of whole chroma blocks takes.
    QSize McuSize() const { return QSize(MaxHSamp() * 8, MaxVSamp() * 8); }
    QSize Size() const { return QSize(width, height); }
    // Bytes held by the samples.
    qint64 Bytes() const;
};

// What AllocateJpegPlanes holds for such a picture, in bytes.
qint64 JpegPlanesBytes(int width, int height, int hSamp, int vSamp);

// The planes' sample buffers for a picture of `width` x `height` with luma sampling
// `hSamp` x `vSamp` and one chroma sample per MCU block, padded to whole MCUs; their
// contents are left undefined. Null planes (width 0) when an allocation fails.
JpegPlanes AllocateJpegPlanes(int width, int height, int hSamp, int vSamp);

// Repeats each plane's last real column and row into its padding, so the blocks beyond
// the picture's edge hold what an encoder would put there, and the bytes of a copy never
// depend on memory that was not written.
void PadJpegPlanes(JpegPlanes& planes);

// The rectangle of the picture made of whole MCUs that holds `area`, cut at the picture's
// edge.
QRect WholeMcus(const JpegPlanes& planes, const QRect& area);
// The same for a picture of `picture` pixels in MCUs of `mcu` pixels.
QRect WholeMcus(QSize mcu, QSize picture, const QRect& area);

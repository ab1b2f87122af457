// SPDX-License-Identifier: MIT
#pragma once

#include <QSize>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct JpegDecoder;
struct jvirt_barray_control;

// A block a stamp drew over: its component, place (in that component's blocks) and new
// samples, which replace the block's own when the copy is written. Samples, not
// coefficients: a stamp over a whole 100 MP picture keeps 1.2 bytes a pixel here, not 4.
struct RedrawnBlock {
    int component = 0;
    int row = 0;
    int column = 0;
    std::array<uint8_t, 64> samples{};
};

// A YCbCr JPEG picture as its quantised DCT blocks, read by libjpeg without decoding a
// pixel and held by the decoder that read them. A copy written from them is the source's
// own blocks, requantised where the copy's quality asks other steps, so nothing outside
// the blocks a stamp redraws goes through pixels. Move-only.
class JpegCoefficients {
public:
    // Takes `decoder` after it has read the blocks into `arrays`.
    JpegCoefficients(std::unique_ptr<JpegDecoder> decoder, jvirt_barray_control** arrays);
    ~JpegCoefficients();
    JpegCoefficients(JpegCoefficients&&) noexcept;
    JpegCoefficients& operator=(JpegCoefficients&&) noexcept;

    struct Component {
        int hSamp = 1;
        int vSamp = 1;
        int widthInBlocks = 0;
        int heightInBlocks = 0;
    };

    int width() const;
    int height() const;
    QSize Size() const { return QSize(width(), height()); }
    // The JFIF resolution in dots per metre; 0 when the header gives none.
    int dotsPerMetreX = 0;
    int dotsPerMetreY = 0;

    // Y, Cb, Cr: the luma's sampling, and one chroma block per MCU.
    const Component& component(int c) const { return components_[size_t(c)]; }
    QSize McuSize() const;

    // The blocks of block row `row` of component `c`, 64 coefficients each in natural
    // order; null when libjpeg cannot give them.
    int16_t* BlockRow(int c, int row);

    // The quantisation steps component `c`'s blocks are held in, natural order.
    const std::array<uint16_t, 64>& Steps(int c) const { return steps_[size_t(c)]; }

    // Blocks a stamp redrew, not yet put into the blocks.
    std::vector<RedrawnBlock> redrawn;

    // Puts every block into quantisation steps `steps` (one table per component, natural
    // order): each coefficient becomes the nearest multiple of its new step to the value it
    // stood for, and each redrawn block is transformed and quantised anew, after which
    // `redrawn` is empty. Components already in their steps keep their blocks as they are.
    // False when libjpeg cannot give a row; the blocks are then partly changed.
    bool Requantise(const std::array<std::array<uint16_t, 64>, 3>& steps);

    // The decompressor that read the blocks and holds them, for an encoder that copies
    // its parameters and writes its blocks.
    JpegDecoder& decoder() { return *decoder_; }
    jvirt_barray_control** arrays() { return arrays_; }

    // What the blocks hold, in bytes.
    qint64 Bytes() const;

private:
    std::unique_ptr<JpegDecoder> decoder_;
    jvirt_barray_control** arrays_ = nullptr;
    std::array<Component, 3> components_{};
    std::array<std::array<uint16_t, 64>, 3> steps_{};
};

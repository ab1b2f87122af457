// SPDX-License-Identifier: MIT
#include "engine/coefficient_stamp.h"

#include "engine/plane_stamp.h"
#include "engine/stamp_drawing.h"
#include "imageio/block_dct.h"
#include "imageio/jpeg_planes.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

int CeilDiv(int value, int step) {
    return (value + step - 1) / step;
}

// One component's blocks under the stamp's rectangle, decoded to samples.
struct PieceComponent {
    int firstColumn = 0;  // in the component's blocks
    int firstRow = 0;
    int columns = 0;
    int rows = 0;
    std::vector<uint8_t> samples;  // (columns * 8) x (rows * 8)

    qsizetype Stride() const { return qsizetype(columns) * 8; }
    uint8_t* Block(int row, int column) {
        return samples.data() + qsizetype(row) * 8 * Stride() + qsizetype(column) * 8;
    }
    const uint8_t* Block(int row, int column) const {
        return samples.data() + qsizetype(row) * 8 * Stride() + qsizetype(column) * 8;
    }
};

using Piece = std::array<PieceComponent, 3>;

// Decodes the blocks of every component that lie under `area` (whole MCUs of the picture).
Piece DecodePiece(JpegCoefficients& picture, const QRect& area) {
    const QSize mcu = picture.McuSize();
    Piece piece;
    for (int c = 0; c < 3; ++c) {
        const JpegCoefficients::Component& component = picture.component(c);
        PieceComponent& part = piece[size_t(c)];
        part.firstColumn = area.left() / mcu.width() * component.hSamp;
        part.firstRow = area.top() / mcu.height() * component.vSamp;
        const int endColumn = std::min(CeilDiv(area.right() + 1, mcu.width()) * component.hSamp,
                                       component.widthInBlocks);
        const int endRow = std::min(CeilDiv(area.bottom() + 1, mcu.height()) * component.vSamp,
                                    component.heightInBlocks);
        part.columns = endColumn - part.firstColumn;
        part.rows = endRow - part.firstRow;
        part.samples.resize(size_t(part.columns) * 8 * size_t(part.rows) * 8);
        for (int row = 0; row < part.rows; ++row) {
            const int16_t* blocks = picture.BlockRow(c, part.firstRow + row);
            if (blocks == nullptr) {
                throw std::bad_alloc();
            }
            for (int column = 0; column < part.columns; ++column) {
                InverseDct(blocks + qsizetype(part.firstColumn + column) * 64,
                           picture.Steps(c).data(), part.Block(row, column), part.Stride());
            }
        }
    }
    return piece;
}

// The piece as planes of the picture's pixels from `origin` on, `size` of them.
YcbcrPlaneView ViewOf(Piece& piece, QSize size, QSize mcu) {
    YcbcrPlaneView view;
    view.width = size.width();
    view.height = size.height();
    view.chromaAcross = mcu.width() / 8;
    view.chromaDown = mcu.height() / 8;
    for (size_t c = 0; c < 3; ++c) {
        view.samples[c] = piece[c].samples.data();
        view.strides[c] = piece[c].Stride();
    }
    return view;
}

bool SameBlock(const uint8_t* a, const uint8_t* b, qsizetype stride) {
    for (int y = 0; y < 8; ++y) {
        if (std::memcmp(a + y * stride, b + y * stride, 8) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

void StampCoefficients(JpegCoefficients& picture, Canvas& canvas, const StampSettings& settings,
                       Dialogs& dialogs) {
    const QSize size = picture.Size();
    const QSize mcu = picture.McuSize();
    const QRect area = WholeMcus(mcu, size, StampExtent(canvas, size, settings));
    if (area.isEmpty()) {
        StampPiece(YcbcrPlaneView(), QPoint(), size, area, canvas, settings, dialogs);
        return;
    }
    Piece piece = DecodePiece(picture, area);
    const Piece before = piece;
    StampPiece(ViewOf(piece, area.size(), mcu), area.topLeft(), size, area, canvas, settings,
               dialogs);
    for (int c = 0; c < 3; ++c) {
        PieceComponent& now = piece[size_t(c)];
        const PieceComponent& was = before[size_t(c)];
        for (int row = 0; row < now.rows; ++row) {
            for (int column = 0; column < now.columns; ++column) {
                if (SameBlock(now.Block(row, column), was.Block(row, column), now.Stride())) {
                    continue;
                }
                RedrawnBlock redrawn{c, now.firstRow + row, now.firstColumn + column, {}};
                const uint8_t* samples = now.Block(row, column);
                for (size_t y = 0; y < 8; ++y) {
                    std::memcpy(redrawn.samples.data() + y * 8,
                                samples + qsizetype(y) * now.Stride(), 8);
                }
                picture.redrawn.push_back(redrawn);
            }
        }
    }
}

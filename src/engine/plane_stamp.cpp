// SPDX-License-Identifier: MIT
#include "engine/plane_stamp.h"

#include "core/canvas.h"
#include "engine/stamp_drawing.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

uint8_t Clamped(double value) {
    return uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

// The arithmetic between a coding's samples and RGB. BT.601 takes libjpeg's own constants,
// so a JPEG's planes convert exactly as its decoder and encoder would.
struct Conversion {
    double crToR, cbToG, crToG, cbToB;
    double yR, yG, yB, cbR, cbG, cbB, crR, crG, crB;
    // Samples to full range and back: y' = (y - lumaOffset) * lumaIn, c' = (c - 128) * chromaIn.
    double lumaOffset = 0, lumaIn = 1, chromaIn = 1, lumaOut = 1, chromaOut = 1;

    explicit Conversion(const YcbcrCoding& coding) {
        if (coding.kr == 0.299 && coding.kb == 0.114) {
            crToR = 1.402;
            cbToG = 0.344136;
            crToG = 0.714136;
            cbToB = 1.772;
            yR = 0.299;
            yG = 0.587;
            yB = 0.114;
            cbR = -0.168736;
            cbG = -0.331264;
            cbB = 0.5;
            crR = 0.5;
            crG = -0.418688;
            crB = -0.081312;
        } else {
            const double kr = coding.kr;
            const double kb = coding.kb;
            const double kg = 1 - kr - kb;
            crToR = 2 * (1 - kr);
            cbToB = 2 * (1 - kb);
            cbToG = 2 * kb * (1 - kb) / kg;
            crToG = 2 * kr * (1 - kr) / kg;
            yR = kr;
            yG = kg;
            yB = kb;
            cbR = -kr / cbToB;
            cbG = -kg / cbToB;
            cbB = 0.5;
            crR = 0.5;
            crG = -kg / crToR;
            crB = -kb / crToR;
        }
        if (!coding.fullRange) {
            lumaOffset = 16;
            lumaIn = 255.0 / 219;
            chromaIn = 255.0 / 224;
            lumaOut = 219.0 / 255;
            chromaOut = 224.0 / 255;
        }
    }

    QRgb RgbOf(int y, int cb, int cr) const {
        const double l = (y - lumaOffset) * lumaIn;
        const double b = (cb - 128.0) * chromaIn;
        const double r = (cr - 128.0) * chromaIn;
        return qRgb(Clamped(l + crToR * r), Clamped(l - cbToG * b - crToG * r),
                    Clamped(l + cbToB * b));
    }
    double LumaOf(QRgb c) const {
        return lumaOffset + lumaOut * (yR * qRed(c) + yG * qGreen(c) + yB * qBlue(c));
    }
    double CbOf(QRgb c) const {
        return 128 + chromaOut * (cbR * qRed(c) + cbG * qGreen(c) + cbB * qBlue(c));
    }
    double CrOf(QRgb c) const {
        return 128 + chromaOut * (crR * qRed(c) + crG * qGreen(c) + crB * qBlue(c));
    }
};

int CeilDiv(int value, int step) {
    return (value + step - 1) / step;
}

}  // namespace

YcbcrPlaneView ViewOf(JpegPlanes& planes) {
    YcbcrPlaneView view;
    view.width = planes.width;
    view.height = planes.height;
    view.chromaAcross = planes.MaxHSamp();
    view.chromaDown = planes.MaxVSamp();
    for (size_t c = 0; c < 3; ++c) {
        view.samples[c] = planes.planes[c].samples.get();
        view.strides[c] = planes.planes[c].samplesAcross;
    }
    return view;
}

QRect WholeChromaBlocks(const YcbcrPlaneView& planes, const QRect& area) {
    const QRect inside = area.intersected(QRect(QPoint(0, 0), planes.Size()));
    if (inside.isEmpty()) {
        return QRect();
    }
    const int across = planes.chromaAcross;
    const int down = planes.chromaDown;
    const int left = inside.left() / across * across;
    const int top = inside.top() / down * down;
    const int right = std::min(planes.width, CeilDiv(inside.right() + 1, across) * across);
    const int bottom = std::min(planes.height, CeilDiv(inside.bottom() + 1, down) * down);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QImage PlanesToRgb(const YcbcrPlaneView& planes, const QRect& area) {
    QImage tile(area.size(), QImage::Format_RGB32);
    if (tile.isNull()) {
        return tile;
    }
    const Conversion conversion(planes.coding);
    const int across = planes.chromaAcross;
    const int down = planes.chromaDown;
    for (int y = 0; y < area.height(); ++y) {
        const int py = area.top() + y;
        const uint8_t* luma = planes.Row(0, py);
        const uint8_t* cb = planes.Row(1, py / down);
        const uint8_t* cr = planes.Row(2, py / down);
        auto* out = reinterpret_cast<QRgb*>(tile.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const int px = area.left() + x;
            out[x] = conversion.RgbOf(luma[px], cb[px / across], cr[px / across]);
        }
    }
    return tile;
}

QImage PlanesToRgb(const JpegPlanes& planes, const QRect& area) {
    // The view only reads through its pointers here.
    return PlanesToRgb(ViewOf(const_cast<JpegPlanes&>(planes)), area);
}

void ChangedRgbIntoPlanes(const YcbcrPlaneView& planes, const QRect& area, const QImage& before,
                          const QImage& after) {
    const Conversion conversion(planes.coding);
    const int across = planes.chromaAcross;
    const int down = planes.chromaDown;
    // One chroma sample at a time, over the pixels of the area it covers.
    for (int cy = area.top() / down; cy * down <= area.bottom(); ++cy) {
        uint8_t* cbRow = planes.Row(1, cy);
        uint8_t* crRow = planes.Row(2, cy);
        for (int cx = area.left() / across; cx * across <= area.right(); ++cx) {
            double cb = 0;
            double cr = 0;
            int count = 0;
            bool changed = false;
            for (int py = cy * down; py < (cy + 1) * down && py <= area.bottom(); ++py) {
                const auto* was =
                    reinterpret_cast<const QRgb*>(before.constScanLine(py - area.top()));
                const auto* now =
                    reinterpret_cast<const QRgb*>(after.constScanLine(py - area.top()));
                uint8_t* luma = planes.Row(0, py);
                for (int px = cx * across; px < (cx + 1) * across && px <= area.right(); ++px) {
                    const QRgb pixel = now[px - area.left()];
                    ++count;
                    if (pixel == was[px - area.left()]) {
                        cb += cbRow[cx];
                        cr += crRow[cx];
                        continue;
                    }
                    changed = true;
                    luma[px] = Clamped(conversion.LumaOf(pixel));
                    cb += conversion.CbOf(pixel);
                    cr += conversion.CrOf(pixel);
                }
            }
            if (changed) {
                cbRow[cx] = Clamped(cb / count);
                crRow[cx] = Clamped(cr / count);
            }
        }
    }
}

void ChangedRgbIntoPlanes(JpegPlanes& planes, const QRect& area, const QImage& before,
                          const QImage& after) {
    ChangedRgbIntoPlanes(ViewOf(planes), area, before, after);
}

void StampPiece(const YcbcrPlaneView& piece, QPoint origin, QSize pictureSize,
                const QRect& area, Canvas& canvas, const StampSettings& settings,
                Dialogs& dialogs) {
    if (area.isEmpty()) {
        // Nothing would be drawn; the canvas measures like the picture all the same.
        canvas.SetTile(QImage(), QPoint(), pictureSize);
        return;
    }
    const QRect inPiece = area.translated(-origin);
    const QImage before = PlanesToRgb(piece, inPiece);
    if (before.isNull()) {
        throw std::bad_alloc();
    }
    canvas.SetTile(before.copy(), area.topLeft(), pictureSize);
    DrawStamp(canvas, settings, dialogs);
    const QImage after = canvas.Image();
    if (after.size() == before.size() && after.format() == before.format()) {
        ChangedRgbIntoPlanes(piece, inPiece, before, after);
    }
}

void StampPlanes(const YcbcrPlaneView& planes, Canvas& canvas, const StampSettings& settings,
                 Dialogs& dialogs) {
    StampPiece(planes, QPoint(), planes.Size(),
               WholeChromaBlocks(planes, StampExtent(canvas, planes.Size(), settings)), canvas,
               settings, dialogs);
}

void StampPlanes(JpegPlanes& planes, Canvas& canvas, const StampSettings& settings,
                 Dialogs& dialogs) {
    StampPiece(ViewOf(planes), QPoint(), planes.Size(),
               WholeMcus(planes, StampExtent(canvas, planes.Size(), settings)), canvas, settings,
               dialogs);
}

// SPDX-License-Identifier: MIT
#include "engine/plane_stamp.h"

#include "core/canvas.h"
#include "engine/stamp_drawing.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

// JFIF's full-range YCbCr, as libjpeg converts it.
uint8_t Clamped(double value) {
    return uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

QRgb RgbOf(int y, int cb, int cr) {
    const double b = cb - 128.0;
    const double r = cr - 128.0;
    return qRgb(Clamped(y + 1.402 * r), Clamped(y - 0.344136 * b - 0.714136 * r),
                Clamped(y + 1.772 * b));
}

double LumaOf(QRgb c) {
    return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c);
}
double CbOf(QRgb c) {
    return -0.168736 * qRed(c) - 0.331264 * qGreen(c) + 0.5 * qBlue(c) + 128;
}
double CrOf(QRgb c) {
    return 0.5 * qRed(c) - 0.418688 * qGreen(c) - 0.081312 * qBlue(c) + 128;
}

}  // namespace

QImage PlanesToRgb(const JpegPlanes& planes, const QRect& area) {
    QImage tile(area.size(), QImage::Format_RGB32);
    if (tile.isNull()) {
        return tile;
    }
    const int across = planes.MaxHSamp();
    const int down = planes.MaxVSamp();
    for (int y = 0; y < area.height(); ++y) {
        const int py = area.top() + y;
        const uint8_t* luma = planes.planes[0].Row(py);
        const uint8_t* cb = planes.planes[1].Row(py / down);
        const uint8_t* cr = planes.planes[2].Row(py / down);
        auto* out = reinterpret_cast<QRgb*>(tile.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const int px = area.left() + x;
            out[x] = RgbOf(luma[px], cb[px / across], cr[px / across]);
        }
    }
    return tile;
}

void ChangedRgbIntoPlanes(JpegPlanes& planes, const QRect& area, const QImage& before,
                          const QImage& after) {
    const int across = planes.MaxHSamp();
    const int down = planes.MaxVSamp();
    // One chroma sample at a time, over the pixels of the area it covers.
    for (int cy = area.top() / down; cy * down <= area.bottom(); ++cy) {
        uint8_t* cbRow = planes.planes[1].Row(cy);
        uint8_t* crRow = planes.planes[2].Row(cy);
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
                uint8_t* luma = planes.planes[0].Row(py);
                for (int px = cx * across; px < (cx + 1) * across && px <= area.right(); ++px) {
                    const QRgb pixel = now[px - area.left()];
                    ++count;
                    if (pixel == was[px - area.left()]) {
                        cb += cbRow[cx];
                        cr += crRow[cx];
                        continue;
                    }
                    changed = true;
                    luma[px] = Clamped(LumaOf(pixel));
                    cb += CbOf(pixel);
                    cr += CrOf(pixel);
                }
            }
            if (changed) {
                cbRow[cx] = Clamped(cb / count);
                crRow[cx] = Clamped(cr / count);
            }
        }
    }
}

void StampPlanes(JpegPlanes& planes, Canvas& canvas, const StampSettings& settings,
                 Dialogs& dialogs) {
    const QRect area = WholeMcus(planes, StampExtent(canvas, planes.Size(), settings));
    if (area.isEmpty()) {
        // Nothing would be drawn; the canvas measures like the picture all the same.
        canvas.SetTile(QImage(), QPoint(), planes.Size());
        return;
    }
    const QImage before = PlanesToRgb(planes, area);
    if (before.isNull()) {
        throw std::bad_alloc();
    }
    canvas.SetTile(before.copy(), area.topLeft(), planes.Size());
    DrawStamp(canvas, settings, dialogs);
    const QImage after = canvas.Image();
    if (after.size() == before.size() && after.format() == before.format()) {
        ChangedRgbIntoPlanes(planes, area, before, after);
    }
}

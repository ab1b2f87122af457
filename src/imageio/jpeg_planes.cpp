// SPDX-License-Identifier: MIT
#include "imageio/jpeg_planes.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

int CeilDiv(qint64 value, qint64 step) {
    return int((value + step - 1) / step);
}

}  // namespace

qint64 JpegPlanes::Bytes() const {
    qint64 total = 0;
    for (const JpegPlane& plane : planes) {
        total += qint64(plane.samplesAcross) * plane.rows;
    }
    return total;
}

qint64 JpegPlanesBytes(int width, int height, int hSamp, int vSamp) {
    if (width <= 0 || height <= 0 || hSamp <= 0 || vSamp <= 0) {
        return 0;
    }
    const qint64 mcus = qint64(CeilDiv(width, hSamp * 8)) * CeilDiv(height, vSamp * 8);
    // The luma's blocks and one block of each chroma plane per MCU.
    return mcus * 64 * (qint64(hSamp) * vSamp + 2);
}

JpegPlanes AllocateJpegPlanes(int width, int height, int hSamp, int vSamp) {
    JpegPlanes result;
    if (width <= 0 || height <= 0) {
        return result;
    }
    const int mcusAcross = CeilDiv(width, hSamp * 8);
    const int mcusDown = CeilDiv(height, vSamp * 8);
    for (int c = 0; c < 3; ++c) {
        JpegPlane& plane = result.planes[size_t(c)];
        plane.hSamp = c == 0 ? hSamp : 1;
        plane.vSamp = c == 0 ? vSamp : 1;
        plane.samplesAcross = mcusAcross * plane.hSamp * 8;
        plane.rows = mcusDown * plane.vSamp * 8;
        // Every sample is written by the decoder or the padding before it is read.
        plane.samples.reset(new (std::nothrow)
                                uint8_t[size_t(plane.samplesAcross) * size_t(plane.rows)]);
        if (!plane.samples) {
            return JpegPlanes();
        }
    }
    result.width = width;
    result.height = height;
    return result;
}

void PadJpegPlanes(JpegPlanes& planes) {
    for (JpegPlane& plane : planes.planes) {
        const int across = CeilDiv(qint64(planes.width) * plane.hSamp, planes.MaxHSamp());
        const int down = CeilDiv(qint64(planes.height) * plane.vSamp, planes.MaxVSamp());
        for (int y = 0; y < down; ++y) {
            uint8_t* row = plane.Row(y);
            std::fill(row + across, row + plane.samplesAcross, row[across - 1]);
        }
        for (int y = down; y < plane.rows; ++y) {
            std::memcpy(plane.Row(y), plane.Row(down - 1), size_t(plane.samplesAcross));
        }
    }
}

QRect WholeMcus(const JpegPlanes& planes, const QRect& area) {
    return WholeMcus(planes.McuSize(), planes.Size(), area);
}

QRect WholeMcus(QSize mcu, QSize picture, const QRect& area) {
    const QRect inside = area.intersected(QRect(QPoint(0, 0), picture));
    if (inside.isEmpty()) {
        return QRect();
    }
    const int left = inside.left() / mcu.width() * mcu.width();
    const int top = inside.top() / mcu.height() * mcu.height();
    const int right =
        std::min(picture.width(), CeilDiv(inside.right() + 1, mcu.width()) * mcu.width());
    const int bottom =
        std::min(picture.height(), CeilDiv(inside.bottom() + 1, mcu.height()) * mcu.height());
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// SPDX-License-Identifier: MIT
#include "ico_mask.h"

#include <QtEndian>

namespace velloran::convert {

namespace {

constexpr qint64 kDirectorySize = 6;
constexpr qint64 kEntrySize = 16;
constexpr qint64 kInfoHeaderSize = 40;

qint64 u16At(const QByteArray& data, qint64 at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}

qint64 u32At(const QByteArray& data, qint64 at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}

qint64 i32At(const QByteArray& data, qint64 at) {
    return qFromLittleEndian<qint32>(data.constData() + at);
}

void clearEntry(QByteArray& ico, qint64 offset, qint64 length) {
    if (offset < 0 || length < kInfoHeaderSize || offset + length > ico.size() ||
        u32At(ico, offset) != kInfoHeaderSize) {
        return;
    }
    const qint64 width = i32At(ico, offset + 4);
    const qint64 height = i32At(ico, offset + 8) / 2;  // colour rows, then mask rows
    const qint64 bitsPerPixel = u16At(ico, offset + 14);
    if (width <= 0 || height <= 0 || width > 1024 || height > 1024 || bitsPerPixel == 0 ||
        bitsPerPixel > 32) {
        return;
    }
    qint64 paletteBytes = 0;
    if (bitsPerPixel <= 8) {
        const qint64 used = u32At(ico, offset + 32);
        paletteBytes = 4 * (used != 0 ? used : qint64(1) << bitsPerPixel);
    }
    const qint64 colourRow = (width * bitsPerPixel + 31) / 32 * 4;
    const qint64 maskRow = (width + 31) / 32 * 4;
    const qint64 maskStart = offset + kInfoHeaderSize + paletteBytes + colourRow * height;
    if (maskStart + maskRow * height > offset + length) {
        return;
    }
    const qint64 used = (width + 7) / 8;
    for (qint64 row = 0; row < height; ++row) {
        for (qint64 i = used; i < maskRow; ++i) {
            ico[maskStart + row * maskRow + i] = 0;
        }
    }
}

}  // namespace

void clearIcoMaskPadding(QByteArray& ico) {
    if (ico.size() < kDirectorySize || u16At(ico, 0) != 0 || u16At(ico, 2) != 1) {
        return;
    }
    const qint64 count = u16At(ico, 4);
    for (qint64 i = 0; i < count; ++i) {
        const qint64 entry = kDirectorySize + i * kEntrySize;
        if (entry + kEntrySize > ico.size()) {
            return;
        }
        clearEntry(ico, u32At(ico, entry + 12), u32At(ico, entry + 8));
    }
}

}  // namespace velloran::convert

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

#include <gif_lib.h>

// A GIF of `image` (at most 256 colours) through giflib; `transparent` marks entry 0.
inline QByteArray GifBytes(const QImage& image, bool transparent = false, bool interlaced = false,
                           QSize screen = QSize()) {
    const QImage indexed = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* file, const GifByteType* data, int length) {
            static_cast<QByteArray*>(file->UserData)
                ->append(reinterpret_cast<const char*>(data), length);
            return length;
        },
        &error);
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    const QList<QRgb> table = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table[i] : 0;
        map->Colors[i] = {GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }
    if (!screen.isValid()) {
        screen = image.size();
    }
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, screen.width(), screen.height(), 8, 0, map);
    if (transparent) {
        const GifByteType control[4] = {0x01, 0, 0, 0};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), interlaced, nullptr);
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
        const int step = interlaced ? steps[pass] : 1;
        for (int y = interlaced ? starts[pass] : 0; y < image.height(); y += step) {
            EGifPutLine(gif, const_cast<GifPixelType*>(indexed.constScanLine(y)), image.width());
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

// 35 bytes declaring a 16000 x 16000 GIF: screen, two colours, one frame, a few pixels.
inline QByteArray GifBomb() {
    return QByteArray("GIF89a\x80\x3E\x80\x3E\x80\0\0\0\0\0\xFF\xFF\xFF,\0\0\0\0\x80\x3E\x80\x3E"
                      "\0\x02\x02\x4C\x01\0;",
                      35);
}

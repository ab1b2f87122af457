// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The first frame of a GIF file, drawn onto its logical screen.
struct DecodedGif {
    QImage image;           // Format_RGB32, or Format_ARGB32 when some pixels are transparent
    QString damage;         // why the file is damaged or truncated; empty when it is whole
    bool tooLarge = false;  // the picture needs more than the byte limit
};

// Decodes with giflib, which, unlike Qt's GIF reader, reports data that ends early. The
// whole file must be intact up to its trailer. A screen larger than its compressed data
// could fill is damage, found before any pixel memory is taken; the picture needs
// 4 bytes a pixel plus one row, and `byteLimit` (0: none) bounds that.
DecodedGif DecodeGif(const QByteArray& data, qint64 byteLimit);

// True when the first bytes of a GIF file already show what DecodeGif of the whole file
// would report: a picture too large for `byteLimit`. No pixel memory is taken.
bool GifHeadShowsTooLarge(const QByteArray& head, qint64 byteLimit);

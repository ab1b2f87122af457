// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The size of a picture in an icon or cursor file that cannot be held, found in the file's
// first bytes. A directory entry stores at most 256 on a side; the picture's own header
// (a bitmap header or a PNG's IHDR) holds the size the decoder goes by, so those are
// read where they lie inside `head`.
struct IconDeclaredSize {
    qint64 width = 0;
    qint64 height = 0;
};

// The first declared size whose pixels at 4 bytes each exceed `byteLimit`: any bitmap
// entry (the structure check refuses every one of those), or the first entry when it is a
// PNG (the one the decoder reads). Nothing when the head shows none.
std::optional<IconDeclaredSize> IconHeadTooLarge(const QByteArray& head, qint64 byteLimit);

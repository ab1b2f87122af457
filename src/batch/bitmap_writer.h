// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

// Writes a picture as a 24-bit Windows bitmap (BMP) file whatever the path's extension,
// with the picture's resolution. The file is written through a temporary file in the
// target folder and renamed over the target, so a failed write leaves any earlier file
// as it was.
//
// Throws VbError naming the path and the reason: 76 when the folder does not exist, 70
// when it may not be written, 61 when the disk is full, 481 for a null picture, 75 for
// any other failure.
void SavePictureAsBitmap(const QImage& picture, const QString& path);

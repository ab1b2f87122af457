// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

class ResultFile;

// Writes a picture as a 24-bit Windows bitmap (BMP) file whatever the path's extension,
// with the picture's resolution. The file is written through a ResultFile: a failed write
// leaves any earlier file as it was, and a link of another user at the path is refused.
//
// Throws VbError naming the path and the reason: 76 when the folder does not exist, 70
// when it may not be written or holds another user's link there, 61 when the disk is
// full, 481 for a null picture, 75 for any other failure.
void SavePictureAsBitmap(const QImage& picture, const QString& path);

// The same bitmap written into an open result file, which stays open (not finished) so
// the caller decides when it takes its final name. Throws VbError as above.
void WritePictureAsBitmap(const QImage& picture, ResultFile& file);

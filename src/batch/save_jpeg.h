// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

// Writes a picture as a JPEG file (4:2:0 chroma, no Huffman optimisation) with the
// picture's resolution in the JFIF header. The file is written through a temporary file
// in the target folder and renamed over the target, so a failed save leaves any earlier
// file as it was.
//
// The quality goes to the encoder unchanged. The encoder's range is 0 to 100, where 0
// and 1 give the same file; a value above 100 is taken as 100.
//
// Throws VbError 5 "Cannot save the image. GDI+ Error:<status>": status 7 when the file
// cannot be created or written (missing folder, no permission, disk full), 2 for a null
// picture, 1 for any other failure.
void SaveJpeg(const QImage& picture, const QString& path, quint8 quality);

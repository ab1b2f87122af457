// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

// Reads the picture file that is to be stamped.
//
// A JPEG (recognised by its content, whatever the name) is decoded by libjpeg straight
// into a Format_RGB32 image, turned upright by its EXIF orientation, and keeps the
// resolution of its JFIF header. Other formats are read by QImageReader, also turned
// upright. Throws VbError: 53 for a missing file, 70 or 75 when the file cannot be read,
// 481 for an unknown format or a damaged or truncated file, 7 for a picture larger than
// the image allocation limit. Each description names the file and what is wrong.
QImage LoadPicture(const QString& path);

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Structure checks for Windows bitmaps and icons, made before a decoder sees the data.
// Qt's decoders stop quietly where the data ends and leave the missing rows blank, so a
// short file would come out as a picture with a black band. Each check returns an empty
// text for a whole file, otherwise what is wrong with it.

// A BMP file: header, palette and the pixel rows its header declares (uncompressed), or an
// RLE stream that reaches its end-of-bitmap code.
QString BmpDamage(const QByteArray& data);

// An ICO or CUR file: every directory entry lies inside the file, and each bitmap entry
// holds the colour and mask rows its header declares.
QString IconDamage(const QByteArray& data);

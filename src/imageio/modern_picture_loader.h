// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/decoded_picture.h"
#include "imageio/modern_format.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// The picture loader's road for a file named as one of today's formats: the content
// must be what the name says, and is decoded by that format's own library. The picture
// comes out upright (HEIF's irot/imir and a JPEG XL codestream's orientation applied) in
// Format_RGB32, transparent parts on white. `byteLimit` (0: none) bounds the picture with
// the decoder's buffers.
//
// Throws VbError 481 when the content does not match the name or the file is damaged or
// cut, 7 when the picture exceeds the limit; each description names the file.
QImage LoadModernPicture(const QString& path, const QByteArray& data, ModernFormat format,
                         qint64 byteLimit);

// The picture as the format's decoder gives it, without the loader's errors and checks
// of the name; for benchmarks and fuzzing.
DecodedPicture DecodeModernPicture(const QByteArray& data, ModernFormat format, qint64 byteLimit);

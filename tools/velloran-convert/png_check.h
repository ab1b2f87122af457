// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace velloran::convert {

// Walks a PNG file's chunks before a decoder sees it. Returns an empty text for a whole
// file; otherwise what is wrong (damage, or a picture beyond `byteLimit`). Every chunk
// must lie inside the file and IEND must be reached: libpng would take a chunk length as
// it stands and allocate it, so a 73-byte file declaring a 2 GB text chunk took 2 GB.
// Compressed text and profile chunks are unpacked here, with no more memory than a small
// buffer, to see that they stay within the limit as well.
QString pngProblem(const QByteArray& data, qint64 byteLimit);

}  // namespace velloran::convert

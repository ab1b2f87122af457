// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace velloran::convert {

// Looks at the first picture of a TIFF file through libtiff before a decoder reads it.
// Returns an empty text for a whole file; otherwise what is wrong (damage, or a picture
// beyond `byteLimit`). Every strip or tile must lie inside the file (a short file is
// truncated, not a picture with missing rows), and the picture with one strip or tile of
// libtiff's working buffer must fit the limit.
QString tiffProblem(const QByteArray& data, qint64 byteLimit);

}  // namespace velloran::convert

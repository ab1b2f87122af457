// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

namespace velloran::convert {

// Reads the first image of `path` with its orientation applied. Returns a null image and sets
// `error` when the file is missing, unreadable, damaged or truncated, or holds an empty image.
QImage readImage(const QString& path, QString* error);

}  // namespace velloran::convert

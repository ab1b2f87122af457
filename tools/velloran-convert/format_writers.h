// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "command_line.h"

namespace velloran::convert {

// Encodes `image` in `options.format` into memory.
bool encodeImage(const QImage& image, const Options& options, QByteArray* encoded, QString* error);

// Replaces `path` with `data` through a temporary file in the same folder, so on any failure the
// old file (or no file) stays and no temporary is left behind.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error);

}  // namespace velloran::convert

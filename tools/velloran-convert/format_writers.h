// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "command_line.h"

namespace velloran::convert {

// Encodes `image` in `options.format` into memory.
bool encodeImage(const QImage& image, const Options& options, QByteArray* encoded, QString* error);

}  // namespace velloran::convert

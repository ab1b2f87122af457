// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "command_line.h"

namespace velloran::convert {

// Encodes `image` in `options.format` into memory.
bool encodeImage(const QImage& image, const Options& options, QByteArray* encoded, QString* error);

// Encodes `image` in `options.format` and writes it as `options.outputPath` names it
// (writeFileAtomically). A JPEG written by name goes to its file as it is encoded; every
// other file, and a file rewritten through an inherited descriptor, is encoded whole first,
// so a failed encoding leaves that file as it was.
bool writeImageFile(const QImage& image, const Options& options, QString* error);

}  // namespace velloran::convert

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace velloran::convert {

// Encodes `image` as a TIFF into `tiff` through libtiff: RGB, with an unassociated alpha
// sample when the image has alpha, 16 bits per sample for 16-bit images and 8 otherwise,
// LZW with the horizontal predictor (a photo comes out at about 40 % of its raw size, where
// LZW without the predictor barely beats raw). The resolution and an ICC profile travel along.
bool encodeTiff(const QImage& image, QByteArray* tiff, QString* error);

}  // namespace velloran::convert

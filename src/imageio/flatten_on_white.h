// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

// The picture as it shows on white, in Format_RGB32: transparent parts become white, as in
// any viewer, and half-transparent ones are blended onto it. A picture without alpha is
// only converted. Works in place on a picture nobody else holds, so no second copy of a
// large picture is made.
QImage FlattenOntoWhite(QImage image);

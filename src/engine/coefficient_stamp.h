// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_settings.h"
#include "imageio/jpeg_coefficients.h"

class Canvas;
class Dialogs;

// Stamps a JPEG held as its quantised blocks: only the blocks under the stamp's rectangle
// (StampExtent, rounded out to whole MCUs) are decoded to samples, and that piece is stamped
// as StampPiece stamps it. Each block whose samples the stamp changed is kept with its new
// samples in the picture's `redrawn` list, to be transformed and quantised when the copy is
// written; every other block stays as the file holds it. The canvas holds the stamped tile
// afterwards.
void StampCoefficients(JpegCoefficients& picture, Canvas& canvas, const StampSettings& settings,
                       Dialogs& dialogs);

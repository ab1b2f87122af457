// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_settings.h"
#include "imageio/jpeg_planes.h"
#include "imageio/ycbcr_plane_view.h"

#include <QImage>
#include <QRect>

class Canvas;
class Dialogs;

// Stamps a picture held as its own colour planes: only the stamp's rectangle (StampExtent,
// rounded out to whole chroma blocks) goes through RGB, converted with the planes' own
// coding. That tile is drawn on `canvas` as the part of the whole picture it is
// (Canvas::SetTile, DrawStamp), so the stamp's pixels and place are those of the whole
// picture. Back in the planes, each pixel the stamp changed takes its new luma, and each
// chroma sample over a changed pixel the mean of its pixels' chroma, unchanged pixels
// counting with the sample's own. Every other sample stays as decoded. The canvas holds
// the stamped tile afterwards.
void StampPlanes(const YcbcrPlaneView& planes, Canvas& canvas, const StampSettings& settings,
                 Dialogs& dialogs);

// The same for a JPEG's planes, the rectangle rounded out to whole MCUs.
void StampPlanes(JpegPlanes& planes, Canvas& canvas, const StampSettings& settings,
                 Dialogs& dialogs);

// Stamps a piece of a picture of `pictureSize` held as planes: `piece` holds the
// picture's pixels from `origin` (a chroma block's corner) on. The tile of `area` (in the
// picture's pixels, whole chroma blocks inside the piece, or empty) is drawn and put back
// as StampPlanes describes.
void StampPiece(const YcbcrPlaneView& piece, QPoint origin, QSize pictureSize,
                const QRect& area, Canvas& canvas, const StampSettings& settings,
                Dialogs& dialogs);

// The view of a JPEG's planes: JFIF's full-range BT.601, one chroma sample per MCU block.
YcbcrPlaneView ViewOf(JpegPlanes& planes);

// The rectangle of whole chroma blocks that holds `area`, cut at the picture's edge.
QRect WholeChromaBlocks(const YcbcrPlaneView& planes, const QRect& area);

// The pixels of `area` (inside the picture) in RGB, each chroma sample standing for all
// the pixels it covers.
QImage PlanesToRgb(const YcbcrPlaneView& planes, const QRect& area);
QImage PlanesToRgb(const JpegPlanes& planes, const QRect& area);

// Puts the pixels of `after` that differ from `before` (both of `area`, which starts on a
// chroma block's corner) into the planes as StampPlanes describes.
void ChangedRgbIntoPlanes(const YcbcrPlaneView& planes, const QRect& area, const QImage& before,
                          const QImage& after);
void ChangedRgbIntoPlanes(JpegPlanes& planes, const QRect& area, const QImage& before,
                          const QImage& after);

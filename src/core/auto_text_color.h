// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

// WCAG 2 relative luminance of a colour's red, green and blue (alpha ignored): 0 for black
// to 1 for white.
double RelativeLuminance(QRgb color);

// WCAG 2 contrast ratio of two relative luminances: 1 (none) to 21 (black on white).
double ContrastRatio(double first, double second);

// The text colour an automatic stamp takes on one picture.
struct TextColorChoice {
    QRgb text = 0;
    // The colour of the pair that was not chosen: the natural outline around `text`.
    QRgb other = 0;
    // The contrast ratio `text` keeps against nine tenths of the pixels behind it.
    double contrast = 21;
};

// Chooses between `first` and `second` the colour that reads best on the pixels of
// `picture` inside `region` (clipped to the picture), with `cover` (0xAARRGGBB, 0 for
// none: a box drawn behind the text) blended over them first. A plain average would call
// white text on black-and-white noise readable; instead each colour is judged by the
// contrast it keeps against all but the worst tenth of the pixels, and the higher wins
// (the first on a tie). Large regions are sampled on a grid of at most about 16,000 points.
TextColorChoice ChooseTextColor(const QImage& picture, QRect region, QRgb first, QRgb second,
                                QRgb cover = 0);

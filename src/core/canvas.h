// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QImage>
#include <QString>

// The hidden drawing surface every stamp is drawn on. It behaves like a picture box
// measured in twips (15 per pixel): it sizes itself to the loaded picture, has a
// one-pixel frame, prints text at CurrentX/CurrentY with a transparent background and
// keeps everything drawn in its composed image.
//
// Drawing is pinned to 96 DPI so a point size gives the same pixels on every image,
// whatever resolution the file declares; the source's resolution is put back on the
// composed image for writing.
class Canvas {
public:
    static constexpr double kTwipsPerPixel = 15.0;
    // Outer size = inner size + 2 * frame.
    static constexpr double kFrameTwips = 15.0;

    Canvas();

    // Replaces the picture; the canvas takes the picture's size.
    void SetPicture(QImage picture);

    // Holds `tile`, the part of a picture of `pictureSize` whose top-left corner is at
    // `origin`, as if that whole picture were loaded: the sizes are the picture's, and
    // whatever is drawn lands on the tile at the picture's coordinates less `origin`, so
    // the tile's pixels come out as the same part of the whole picture would. A null tile
    // draws nothing and only measures (PrintedBounds).
    void SetTile(QImage tile, QPoint origin, QSize pictureSize);
    // Where the held image sits in the picture, and the picture's size (the held image's
    // own after SetPicture).
    QPoint TileOrigin() const { return origin_; }
    QSize PictureSize() const { return pictureSize_; }

    // The pixels of the picture that the Print calls since the last SetPicture or SetTile
    // may have touched, in the picture's coordinates, generous by a few pixels.
    QRect PrintedBounds() const { return printed_; }

    // Lets go of the picture (its pixels are freed once no copy holds them), so the next
    // one loads without the last one beside it. The canvas is then as before any load;
    // its size stays.
    void ReleasePicture() noexcept;

    // Inner size (the drawing area) in twips.
    double ScaleWidth() const;
    double ScaleHeight() const;
    // Outer size including the frame, in twips.
    double Width() const;
    double Height() const;
    // Sets the outer size when no picture is loaded.
    void SetWidth(double twips);
    void SetHeight(double twips);

    // Drawing position of the next Print, in twips.
    double CurrentX = 0;
    double CurrentY = 0;

    // Font and text colour (0x00BBGGRR).
    QFont Font;
    quint32 ForeColor = 0;
    void SetFontName(const QString& name);
    void SetFontBold(bool bold);
    void SetFontItalic(bool italic);
    void SetFontSize(double points);
    void SetFontStrikethru(bool strike);
    void SetFontUnderline(bool underline);

    // Width of the widest line and height of all lines (lines split at CR LF), in twips.
    double TextWidth(const QString& text) const;
    double TextHeight(const QString& text) const;

    // Draws the text with its first line's top-left corner at the drawing position;
    // later lines start at x = 0. Afterwards the drawing position is at the start of
    // the next line.
    void Print(const QString& text);

    // The composed image (picture plus everything drawn), carrying the source's
    // resolution.
    QImage Image() const;

private:
    QImage image_;
    QPoint origin_;
    QSize pictureSize_;
    QRect printed_;
    double outerWidth_ = 0;
    double outerHeight_ = 0;
};

// Converts a colour between 0x00BBGGRR and QColor.
QColor ColorFromBgr(quint32 bgr);
quint32 BgrFromColor(const QColor& color);

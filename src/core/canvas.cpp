// SPDX-License-Identifier: MIT
#include "core/canvas.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// 96 dots per inch in dots per metre: the resolution text is laid out at.
constexpr int kScreenDotsPerMetre = 3780;

QStringList Lines(const QString& text) {
    return text.split(QStringLiteral("\r\n"));
}

}  // namespace

QColor ColorFromBgr(quint32 bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

quint32 BgrFromColor(const QColor& color) {
    return static_cast<quint32>(color.red()) | (static_cast<quint32>(color.green()) << 8) |
           (static_cast<quint32>(color.blue()) << 16);
}

Canvas::Canvas() {
    Font.setFamily(QStringLiteral("Arial"));
}

void Canvas::SetPicture(QImage picture) {
    // QImageReader gives a file named like "photo@2x.jpg" a device pixel ratio of 2;
    // the painter would then draw doubled text at doubled positions (and composite an
    // image with alpha at half size). The canvas works in the file's own pixels.
    picture.setDevicePixelRatio(1);
    // Transparent parts of a picture show on white, as in any viewer's default.
    if (picture.hasAlphaChannel()) {
        image_ = QImage(picture.size(), QImage::Format_RGB32);
        image_.fill(Qt::white);
        QPainter(&image_).drawImage(0, 0, picture);
        image_.setDotsPerMeterX(picture.dotsPerMeterX());
        image_.setDotsPerMeterY(picture.dotsPerMeterY());
    } else if (picture.format() == QImage::Format_RGB32) {
        image_ = std::move(picture);
    } else {
        image_ = picture.convertToFormat(QImage::Format_RGB32);
    }
    outerWidth_ = image_.width() * kTwipsPerPixel + 2 * kFrameTwips;
    outerHeight_ = image_.height() * kTwipsPerPixel + 2 * kFrameTwips;
    origin_ = QPoint();
    pictureSize_ = image_.size();
    printed_ = QRect();
    CurrentX = 0;
    CurrentY = 0;
}

void Canvas::SetTile(QImage tile, QPoint origin, QSize pictureSize) {
    tile.setDevicePixelRatio(1);
    image_ = tile.isNull() || tile.format() == QImage::Format_RGB32
                 ? std::move(tile)
                 : tile.convertToFormat(QImage::Format_RGB32);
    outerWidth_ = pictureSize.width() * kTwipsPerPixel + 2 * kFrameTwips;
    outerHeight_ = pictureSize.height() * kTwipsPerPixel + 2 * kFrameTwips;
    origin_ = origin;
    pictureSize_ = pictureSize;
    printed_ = QRect();
    CurrentX = 0;
    CurrentY = 0;
}

void Canvas::ReleasePicture() noexcept {
    image_ = QImage();
}

double Canvas::ScaleWidth() const {
    return outerWidth_ - 2 * kFrameTwips;
}
double Canvas::ScaleHeight() const {
    return outerHeight_ - 2 * kFrameTwips;
}
double Canvas::Width() const {
    return outerWidth_;
}
double Canvas::Height() const {
    return outerHeight_;
}
void Canvas::SetWidth(double twips) {
    outerWidth_ = twips;
}
void Canvas::SetHeight(double twips) {
    outerHeight_ = twips;
}

void Canvas::SetFontName(const QString& name) {
    Font.setFamily(name);
}
void Canvas::SetFontBold(bool bold) {
    Font.setBold(bold);
}
void Canvas::SetFontItalic(bool italic) {
    Font.setItalic(italic);
}
void Canvas::SetFontSize(double points) {
    Font.setPointSizeF(points);
}
void Canvas::SetFontStrikethru(bool strike) {
    Font.setStrikeOut(strike);
}
void Canvas::SetFontUnderline(bool underline) {
    Font.setUnderline(underline);
}

namespace {

// Metrics at 96 DPI whether or not a picture is loaded.
QFontMetricsF ScreenMetrics(const QFont& font) {
    static QImage probe = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(kScreenDotsPerMetre);
        image.setDotsPerMeterY(kScreenDotsPerMetre);
        return image;
    }();
    return QFontMetricsF(font, &probe);
}

}  // namespace

double Canvas::TextWidth(const QString& text) const {
    const QFontMetricsF metrics = ScreenMetrics(Font);
    double widest = 0;
    const QStringList lines = Lines(text);
    for (const QString& line : lines) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest * kTwipsPerPixel;
}

double Canvas::TextHeight(const QString& text) const {
    return static_cast<double>(Lines(text).size()) * ScreenMetrics(Font).lineSpacing() *
           kTwipsPerPixel;
}

void Canvas::Print(const QString& text) {
    const QFontMetricsF metrics = ScreenMetrics(Font);
    const double lineHeight = metrics.lineSpacing() * kTwipsPerPixel;
    const QStringList lines = Lines(text);
    double x = CurrentX;
    double y = CurrentY;
    {
        // Ink may reach past the advance (italics, accents) and antialiasing a pixel
        // further: a quarter of a line around the line's box covers both.
        const double pad = std::ceil(metrics.lineSpacing() / 4) + 2;
        double lineX = x;
        double lineY = y;
        for (const QString& line : lines) {
            const QPointF baseline(lineX / kTwipsPerPixel,
                                   lineY / kTwipsPerPixel + metrics.ascent());
            const QRectF box(lineX / kTwipsPerPixel, lineY / kTwipsPerPixel,
                             metrics.horizontalAdvance(line), metrics.lineSpacing());
            const QRectF ink = metrics.boundingRect(line).translated(baseline);
            printed_ |= (box | ink).adjusted(-pad, -pad, pad, pad).toAlignedRect();
            lineX = 0;
            lineY += lineHeight;
        }
    }
    if (!image_.isNull()) {
        // The painter takes its DPI from the image: pin it to 96 while drawing so a
        // 300-DPI photo does not get three times bigger text.
        const int dpmX = image_.dotsPerMeterX();
        const int dpmY = image_.dotsPerMeterY();
        image_.setDotsPerMeterX(kScreenDotsPerMetre);
        image_.setDotsPerMeterY(kScreenDotsPerMetre);
        QPainter painter(&image_);
        painter.translate(-origin_);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(Font);
        painter.setPen(ColorFromBgr(ForeColor));
        for (const QString& line : lines) {
            const QPointF baseline(x / kTwipsPerPixel, y / kTwipsPerPixel + metrics.ascent());
            painter.drawText(baseline, line);
            x = 0;
            y += lineHeight;
        }
        painter.end();
        image_.setDotsPerMeterX(dpmX);
        image_.setDotsPerMeterY(dpmY);
    } else {
        y += lineHeight * static_cast<double>(lines.size());
    }
    CurrentX = 0;
    CurrentY = y;
}

QImage Canvas::Image() const {
    return image_;
}

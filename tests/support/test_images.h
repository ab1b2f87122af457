// SPDX-License-Identifier: MIT
#pragma once

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <cmath>
#include <random>

// Gradients plus noise, like a photo, so a codec's quality shows in size and PSNR. With
// colourNoise every channel has strong noise of its own, blue the most; without it the
// channels share a faint noise, which 4:2:0 chroma subsampling keeps.
inline QImage NoisyImage(int width, int height, bool colourNoise = true) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> strong(-24, 24);
    std::uniform_int_distribution<int> faint(-8, 8);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int shared = colourNoise ? 0 : faint(random);
            const int r = colourNoise ? strong(random) : shared;
            const int g = colourNoise ? strong(random) : shared;
            const int b = colourNoise ? 3 * strong(random) : shared;
            image.setPixel(
                x, y,
                qRgb(qBound(0, 40 + x * 180 / width + r, 255),
                     qBound(0, 220 - y * 180 / height + g, 255), qBound(0, 128 + b, 255)));
        }
    }
    return image;
}

// The image encoded in memory at quality 100; empty when Qt cannot write the format.
inline QByteArray Encoded(const QImage& image, const char* format, int transformation = 0) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setTransformation(QImageIOHandler::Transformations(transformation));
    writer.setQuality(100);
    return writer.write(image) ? data : QByteArray();
}

// Peak signal-to-noise ratio of the colour channels in dB, 99 for equal images. With
// block > 1 it compares block averages: dithering trades per-pixel error for right averages.
inline double Psnr(const QImage& a, const QImage& b, int block = 1) {
    if (a.size() != b.size()) {
        return 0;
    }
    const QSize size = a.size() / block;
    const QImage sa = a.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage sb = b.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double squares = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb p = sa.pixel(x, y), q = sb.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                squares += d * d;
            }
        }
    }
    const double mse = squares / (3.0 * size.width() * size.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// A GIF whose screen and frame are 60000 x 60000, with enough compressed data in its first
// megabyte that only its size, not missing data, refuses it.
inline QByteArray HugeGifHead() {
    QByteArray gif("GIF89a");
    const auto le16 = [&gif](int value) {
        gif.append(char(value & 0xFF));
        gif.append(char(value >> 8 & 0xFF));
    };
    le16(60000);
    le16(60000);
    gif.append(char(0x80));  // a global colour table of 2 colours
    gif.append(2, '\0');
    gif.append(QByteArray("\0\0\0\xFF\xFF\xFF", 6));
    gif.append(',');
    le16(0);
    le16(0);
    le16(60000);
    le16(60000);
    gif.append('\0');
    gif.append(char(2));  // LZW code size
    for (int block = 0; block < 1600; ++block) {
        gif.append(char(0xFF));
        gif.append(255, char(0x55));
    }
    return gif;
}

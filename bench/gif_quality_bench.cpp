// SPDX-License-Identifier: MIT
// GIF quality of the converter: its adaptive palette with an ordered dither against the
// fixed 6x7x6 colour cube with the same 8x8 Bayer dither, which the converter used
// before. Both are measured in the same run on the same pictures: a photo-like picture,
// a noisy gradient and a screenshot-like picture with text, 1600 x 1200 each. Prints, per
// picture and method, the colours in use, the PSNR against the source per pixel and in
// 8 x 8 block averages (what the eye sees of a dither), and the time.
//
// Usage: velloran_bench_gif [work folder]
#include "palette_quantiser.h"
#include "support/photo_image.h"
#include "support/test_images.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

qsizetype Colours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            colours.insert(image.pixel(x, y));
        }
    }
    return colours.size();
}

QImage NoisyGradient(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-24, 24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y,
                           qRgb(qBound(0, 40 + x * 180 / w + noise(random), 255),
                                qBound(0, 220 - y * 180 / h + noise(random), 255),
                                qBound(0, 128 + 3 * noise(random), 255)));
        }
    }
    return image;
}

QImage ScreenshotLike(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(243, 243, 243));
    QPainter painter(&image);
    QLinearGradient title(0, 0, w, 0);
    title.setColorAt(0, QColor(30, 60, 120));
    title.setColorAt(1, QColor(70, 130, 200));
    painter.fillRect(0, 0, w, 40, title);
    painter.fillRect(0, 40, 260, h - 40, QColor(225, 230, 238));
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("Liberation Sans"), 11);
    painter.setFont(font);
    for (int line = 0; line < 50; ++line) {
        painter.setPen(line % 7 == 0 ? QColor(200, 40, 40) : QColor(20, 20, 20));
        painter.drawText(
            280, 70 + line * 22,
            QStringLiteral("Line %1: The quick brown fox jumps over the lazy dog").arg(line));
        painter.setPen(QColor(40, 60, 90));
        painter.drawText(16, 70 + line * 22, QStringLiteral("Folder %1").arg(line));
    }
    painter.fillRect(w - 420, 120, 360, 240, PhotoLike(360, 240).pixel(10, 10));
    painter.drawImage(w - 420, 400, PhotoLike(360, 240));
    return image;
}

// The cube the converter used before, with the same per-channel Bayer dither.
QImage FixedCube(const QImage& source) {
    const velloran::convert::CubeDitherMapper cube(256, true);
    QImage out(source.size(), QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            out.setPixel(x, y, cube.palette().at(cube.index(source.pixel(x, y), x, y)));
        }
    }
    return out;
}

QImage Converted(const QImage& source, const QString& folder, const QString& converter,
                 double* ms) {
    const QString path = folder + QStringLiteral("/picture.gif");
    source.save(path, "PNG");
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(converter, {"-out", "gif", "-dither", "-colors", "256", path});
    *ms = double(timer.nsecsElapsed()) / 1e6;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

void Report(const char* picture, const char* method, const QImage& source, const QImage& gif,
            double ms) {
    std::printf("%-12s %-22s %8lld %10.2f %12.2f %10.0f\n", picture, method,
                static_cast<long long>(Colours(gif)), Psnr(source, gif), Psnr(source, gif, 8), ms);
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QTemporaryDir scratch;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path();
    const QString converter = QStringLiteral(VELLORAN_CONVERT_PATH);
    const std::pair<const char*, QImage> pictures[] = {
        {"photo", PhotoLike(1600, 1200)},
        {"noisy", NoisyGradient(1600, 1200)},
        {"screenshot", ScreenshotLike(1600, 1200)},
    };
    std::printf("%-12s %-22s %8s %10s %12s %10s\n", "picture", "method", "colours", "PSNR dB",
                "8x8 PSNR dB", "ms");
    for (const auto& [name, source] : pictures) {
        QElapsedTimer timer;
        timer.start();
        const QImage cube = FixedCube(source);
        Report(name, "fixed cube (before)", source, cube, double(timer.nsecsElapsed()) / 1e6);
        double ms = 0;
        const QImage adaptive = Converted(source, folder, converter, &ms);
        Report(name, "adaptive (converter)", source, adaptive, ms);
        std::printf("%-12s %-22s %8s %+10.2f %+12.2f\n", name, "gain", "",
                    Psnr(source, adaptive) - Psnr(source, cube),
                    Psnr(source, adaptive, 8) - Psnr(source, cube, 8));
    }
    return 0;
}

// SPDX-License-Identifier: MIT
// Timing helper for bench/batch_bench.sh: makes the corpus and runs one picture road
// (load, stamp, write at quality 85) over a list of files, printing the median time per
// picture: "ours" through RGB, "planes" in the source's own colour planes. The script
// times whole runs and peak memory from outside.

#include "core/canvas.h"
#include "engine/collecting_dialogs.h"
#include "engine/engine_start.h"
#include "engine/picture_loader.h"
#include "engine/plane_stamp.h"
#include "engine/save_jpeg.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

constexpr quint8 kQuality = 85;
const QString kStampText = QStringLiteral("12/6/2026 3:04:05 PM");

// Large soft shapes, hard edges and sensor-like noise, so the files compress like photos.
QImage PhotoLike(int width, int height, quint32 seed) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    const auto color = [&] {
        return QColor(int(random.bounded(256)), int(random.bounded(256)), int(random.bounded(256)));
    };
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, width * 0.3, height);
    sky.setColorAt(0, color());
    sky.setColorAt(1, color());
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        QRadialGradient blob(random.bounded(width), random.bounded(height),
                             width * (0.05 + random.bounded(0.25)));
        QColor inner = color();
        QColor outer = inner;
        outer.setAlpha(0);
        blob.setColorAt(0, inner);
        blob.setColorAt(1, outer);
        painter.setBrush(blob);
        painter.drawRect(image.rect());
    }
    for (int i = 0; i < 25; ++i) {
        painter.setBrush(color());
        painter.drawEllipse(QPointF(random.bounded(width), random.bounded(height)),
                            width * random.bounded(0.08), height * random.bounded(0.08));
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const quint32 bits = random.generate();
            const auto noisy = [&](int value, int shift) {
                return std::clamp(value + int((bits >> shift) & 15) - 8, 0, 255);
            };
            row[x] =
                qRgb(noisy(qRed(row[x]), 0), noisy(qGreen(row[x]), 4), noisy(qBlue(row[x]), 8));
        }
    }
    return image;
}

void Stamp(Canvas& canvas) {
    canvas.SetFontName(QStringLiteral("Arial"));
    canvas.SetFontSize(24);
    canvas.ForeColor = 0x00FFFFFF;
    canvas.CurrentX = canvas.ScaleWidth() - canvas.TextWidth(kStampText) - 150;
    canvas.CurrentY = canvas.ScaleHeight() - canvas.TextHeight(kStampText) - 150;
    canvas.Print(kStampText);
}

void OurRoad(Canvas& canvas, const QString& in, const QString& out) {
    canvas.SetPicture(LoadPicture(in));
    Stamp(canvas);
    SaveJpeg(canvas.Image(), out, kQuality);
}

// The road of a JPEG copied as JPEG: the source's planes, the stamp on its own tile.
void PlanesRoad(Canvas& canvas, const QString& in, const QString& out) {
    LoadedPicture loaded = LoadPictureOrPlanes(in, true);
    if (!loaded.planes) {
        throw std::runtime_error("not a picture the planes hold");
    }
    StampSettings settings;
    settings.text = kStampText;
    settings.position = QStringLiteral("Lower-right");
    canvas.SetFontName(QStringLiteral("Arial"));
    canvas.SetFontSize(24);
    canvas.ForeColor = 0x00FFFFFF;
    CollectingDialogs dialogs;
    StampPlanes(*loaded.planes, canvas, settings, dialogs);
    SaveJpegPlanes(*loaded.planes, out, kQuality);
}

void QtRoad(Canvas& canvas, const QString& in, const QString& out) {
    QImageReader reader(in);
    reader.setAutoTransform(true);
    canvas.SetPicture(reader.read());
    Stamp(canvas);
    QImageWriter writer(out, "jpeg");
    writer.setQuality(kQuality);
    if (!writer.write(canvas.Image())) {
        throw std::runtime_error(writer.errorString().toStdString());
    }
}

int Generate(const QStringList& args) {
    if (args.size() != 5) {
        std::fprintf(stderr, "generate <folder> <prefix> <count> <width> <height>\n");
        return 2;
    }
    const QDir folder(args[0]);
    for (int i = 0; i < args[2].toInt(); ++i) {
        const QString path = folder.filePath(
            QStringLiteral("%1-%2.jpg").arg(args[1]).arg(i, 3, 10, QLatin1Char('0')));
        QImage image = PhotoLike(args[3].toInt(), args[4].toInt(), quint32(i * 7919 + 1));
        image.setDotsPerMeterX(11811);
        image.setDotsPerMeterY(11811);
        SaveJpeg(image, path, 92);
    }
    return 0;
}

using Road = void (*)(Canvas&, const QString&, const QString&);

// One canvas for the whole run, as in the window: it holds the previous picture while
// the next one loads.
int RunRoad(Road road, const QStringList& args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "<road> <output folder> <file>...\n");
        return 2;
    }
    const QDir out(args[0]);
    std::vector<double> times;
    Canvas canvas;
    for (qsizetype i = 1; i < args.size(); ++i) {
        QElapsedTimer timer;
        timer.start();
        try {
            road(canvas, args[i], out.filePath(QFileInfo(args[i]).fileName()));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(args[i]), e.what());
            return 1;
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("median_ms %.1f\n", times[times.size() / 2]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    StartEngine();
    QStringList args = app.arguments().mid(1);
    const QString mode = args.isEmpty() ? QString() : args.takeFirst();
    if (mode == QLatin1String("generate")) {
        return Generate(args);
    }
    if (mode == QLatin1String("ours")) {
        return RunRoad(OurRoad, args);
    }
    if (mode == QLatin1String("planes")) {
        return RunRoad(PlanesRoad, args);
    }
    if (mode == QLatin1String("qt")) {
        return RunRoad(QtRoad, args);
    }
    std::fprintf(stderr,
                 "usage: velloran_bench_jpeg generate <folder> <prefix> <count> <w> <h>\n"
                 "       velloran_bench_jpeg ours|planes|qt <output folder> <file>...\n");
    return 2;
}

// SPDX-License-Identifier: MIT
// Helper for the PNG road of bench/batch_bench.sh. For each JPEG picture it times the
// batch's own steps on it: loading, the JPEG save at quality 85 (the cost a PNG copy is
// measured against) and the bitmap the batch writes under a PNG copy's name before the
// converter turns it into a PNG. The bitmaps are kept in the work folder as <name>.png, so
// the script can time the converter on exactly what it gets.
//
// Usage: velloran_bench_png_road <work folder> <JPEG picture>...
#include "engine/bitmap_writer.h"
#include "engine/engine_start.h"
#include "engine/picture_loader.h"
#include "engine/save_jpeg.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

constexpr quint8 kQuality = 85;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

template <typename F>
double TimeMs(F&& f) {
    QElapsedTimer timer;
    timer.start();
    f();
    return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    StartEngine();
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: velloran_bench_png_road <work folder> <JPEG picture>...\n");
        return 2;
    }
    const QDir work(args[0]);
    std::vector<double> loads;
    std::vector<double> jpegs;
    std::vector<double> bitmaps;
    try {
        for (qsizetype i = 1; i < args.size(); ++i) {
            QImage picture;
            loads.push_back(TimeMs([&] { picture = LoadPicture(args[i]); }));
            const QString jpeg = work.filePath(QStringLiteral("jpeg-save.jpg"));
            jpegs.push_back(TimeMs([&] { SaveJpeg(picture, jpeg, kQuality); }));
            const QString bitmap =
                work.filePath(QFileInfo(args[i]).completeBaseName() + QStringLiteral(".png"));
            bitmaps.push_back(TimeMs([&] { SavePictureAsBitmap(picture, bitmap); }));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    QFile::remove(work.filePath(QStringLiteral("jpeg-save.jpg")));
    std::printf("load_ms %.1f\njpeg_save_ms %.1f\nbitmap_save_ms %.1f\n", Median(loads),
                Median(jpegs), Median(bitmaps));
    return 0;
}

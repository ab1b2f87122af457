// SPDX-License-Identifier: MIT
// The memory an encoder of today's formats holds beside the picture it is given: one
// photo-like picture of the given size is encoded (its bytes thrown away) and the rise of
// the process's resident peak over what it held before is printed, in MB and per pixel.
// Run over sizes by bench/encoder_memory.sh; the JPEG XL writer's band budget comes from
// these figures.
//
// Usage: velloran_bench_encoder_memory jxl|jxl-lossless|webp|webp-lossless <width> <height>
#include "engine/modern_writers.h"
#include "util/vb_error.h"

#include <QFile>
#include <QGuiApplication>
#include <QIODevice>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Takes the encoded bytes and keeps none.
class Discard : public QIODevice {
public:
    Discard() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override { return length; }
};

qint64 PeakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

qint64 ResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

// Soft colour fields with grain, filled in place: as hard for a codec as a photo.
QImage PhotoLike(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 27) - 16;
            const double u = x / 300.0;
            const double v = y / 240.0;
            line[x] = qRgb(qBound(0, int(128 + 90 * std::sin(u) * std::cos(v)) + grain, 255),
                           qBound(0, int(128 + 90 * std::sin(u + v)) + grain, 255),
                           qBound(0, int(128 + 90 * std::cos(u * 0.7 - v)) + grain, 255));
        }
    }
    return picture;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s jxl|jxl-lossless|webp|webp-lossless <width> <height>\n",
                     argv[0]);
        return 2;
    }
    const QByteArray format = argv[1];
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    const QImage picture = PhotoLike(width, height);
    const qint64 before = ResidentKb();
    Discard out;
    PictureFacts facts;
    facts.lossless = format.endsWith("-lossless");
    try {
        if (format.startsWith("jxl")) {
            WriteJxl(picture, facts.lossless ? 100 : 85, facts, out);
        } else {
            WriteWebP(picture, 85, facts, out);
        }
    } catch (const VbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    const double pixels = double(width) * height;
    const qint64 rise = PeakKb() - before;
    std::printf("%-14s %6.1f MP  picture %5lld MB  encoder %5lld MB  %6.1f bytes/pixel\n",
                format.constData(), pixels / 1e6, before / 1024, rise / 1024,
                double(rise) * 1024 / pixels);
    return 0;
}

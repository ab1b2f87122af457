// SPDX-License-Identifier: MIT
// One stamped copy of a HEIC, AVIF, WebP or JPEG XL picture, the way the batch makes it:
// the loader's decode, then the copy's encode at a quality, with the source's metadata.
// The stamp's drawing is left out: it costs the same for every format. Timed as a whole
// process by bench/modern_formats_bench.sh beside the formats' own reference tools.
//
// Usage: velloran_bench_modern_road <source> <copy> <quality>
#include "engine/photo_metadata.h"
#include "engine/picture_loader.h"
#include "engine/save_modern_picture.h"
#include "engine/engine_start.h"
#include "util/vb_error.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <source> <copy> <quality>\n", argv[0]);
        return 2;
    }
    StartEngine();
    try {
        const QString source = QString::fromLocal8Bit(argv[1]);
        const QImage picture = LoadPicture(source);
        SaveModernPicture(picture, ReadSourceMetadata(source), QString::fromLocal8Bit(argv[2]), atoi(argv[3]));
    } catch (const VbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

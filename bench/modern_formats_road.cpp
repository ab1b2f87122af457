// SPDX-License-Identifier: MIT
// One stamped copy of a HEIC, AVIF, WebP or JPEG XL picture, the way the batch makes it:
// the loader's decode, then the copy's encode at a quality, with the source's metadata.
// The stamp's drawing is left out: it costs the same for every format. Timed as a whole
// process by bench/modern_formats_bench.sh beside the formats' own reference tools.
//
// A HEIC, HEIF or AVIF source goes through its own planes, as the batch takes it, unless
// "rgb" follows: then through RGB, as every source did before the planes road.
//
// Usage: velloran_bench_modern_road <source> <copy> <quality> [rgb]
#include "engine/engine_start.h"
#include "engine/photo_metadata.h"
#include "engine/picture_loader.h"
#include "engine/save_modern_picture.h"
#include "util/vb_error.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 4 && !(argc == 5 && std::strcmp(argv[4], "rgb") == 0)) {
        std::fprintf(stderr, "usage: %s <source> <copy> <quality> [rgb]\n", argv[0]);
        return 2;
    }
    StartEngine();
    try {
        const QString source = QString::fromLocal8Bit(argv[1]);
        const QString copy = QString::fromLocal8Bit(argv[2]);
        const LoadedPicture loaded =
            LoadPictureOrPlanes(source, argc == 4 && CopiesInPlanes(source));
        if (loaded.heifPlanes) {
            SaveModernPlanes(*loaded.heifPlanes, ReadSourceMetadata(source), copy, atoi(argv[3]));
        } else {
            SaveModernPicture(loaded.image, ReadSourceMetadata(source), copy, atoi(argv[3]));
        }
    } catch (const VbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

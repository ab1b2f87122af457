// SPDX-License-Identifier: MIT
// Writes the large pictures of the memory benchmark a row at a time (never holding their
// pixels): a transparent GIF, an RGB progressive JPEG and a CMYK progressive JPEG.
//
// Usage: velloran_bench_memory_pictures gif|jpeg|cmyk <side> <output file>
// jpeglib.h uses FILE without declaring it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "support/jpeg_rows.h"

namespace {

// Bands of colour with a transparent stripe: a GIF of two colours and a hole.
bool WriteGif(const char* path, int side) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path, false, &error);
    if (gif == nullptr) {
        return false;
    }
    const GifColorType colours[4] = {{200, 40, 40}, {40, 40, 200}, {0, 0, 0}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    bool ok = EGifPutScreenDesc(gif, side, side, 2, 0, map) == GIF_OK;
    // Colour 2 is transparent.
    GraphicsControlBlock control{};
    control.TransparentColor = 2;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> row(static_cast<size_t>(side));
    for (int y = 0; ok && y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            row[size_t(x)] = GifPixelType((x / 512 + y / 512) % 3);
        }
        ok = EGifPutLine(gif, row.data(), side) == GIF_OK;
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

// A smooth gradient, progressive; CMYK written as Adobe's inverted kind.
bool WriteJpeg(const char* path, int side, bool cmyk) {
    const int components = cmyk ? 4 : 3;
    return WriteJpegRows(path, {side, side, cmyk, 85, true, {}}, [&](int y, JSAMPLE* row) {
        for (int x = 0; x < side; ++x) {
            JSAMPLE* pixel = &row[size_t(x) * size_t(components)];
            pixel[0] = JSAMPLE(x * 255 / side);
            pixel[1] = JSAMPLE(y * 255 / side);
            pixel[2] = JSAMPLE((x + y) * 127 / side);
            if (cmyk) {
                pixel[3] = 230;
            }
        }
    });
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4 || std::atoi(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: %s gif|jpeg|cmyk <side> <output file>\n", argv[0]);
        return 2;
    }
    const int side = std::atoi(argv[2]);
    const bool ok = std::strcmp(argv[1], "gif") == 0    ? WriteGif(argv[3], side)
                    : std::strcmp(argv[1], "jpeg") == 0 ? WriteJpeg(argv[3], side, false)
                    : std::strcmp(argv[1], "cmyk") == 0 ? WriteJpeg(argv[3], side, true)
                                                        : false;
    if (!ok) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}

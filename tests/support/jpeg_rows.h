// SPDX-License-Identifier: MIT
#pragma once

// JPEGs written a row at a time with libjpeg, so tests and benchmarks can make pictures of
// any size, colour model and scan layout, a huge one without ever holding its pixels.

#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

struct JpegRecipe {
    int width = 0;
    int height = 0;
    bool cmyk = false;         // four components; libjpeg marks them as Adobe's inverted kind
    int quality = -1;          // negative: libjpeg's default
    bool progressive = false;  // libjpeg's progressive scans
    std::vector<jpeg_scan_info> scans;  // a scan script of one's own instead
};

// Fills the samples of row y: width x (3 or 4) of them.
using JpegRowFill = std::function<void(int y, JSAMPLE* row)>;

inline void CompressJpegRows(jpeg_compress_struct& info, const JpegRecipe& recipe,
                             const JpegRowFill& fill) {
    info.image_width = JDIMENSION(recipe.width);
    info.image_height = JDIMENSION(recipe.height);
    info.input_components = recipe.cmyk ? 4 : 3;
    info.in_color_space = recipe.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (recipe.quality >= 0) {
        jpeg_set_quality(&info, recipe.quality, TRUE);
    }
    if (recipe.progressive) {
        jpeg_simple_progression(&info);
    }
    if (!recipe.scans.empty()) {
        info.scan_info = recipe.scans.data();
        info.num_scans = int(recipe.scans.size());
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(recipe.width) * size_t(info.input_components));
    JSAMPROW rows[1] = {row.data()};
    while (info.next_scanline < info.image_height) {
        fill(int(info.next_scanline), row.data());
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
}

// The JPEG in memory.
inline QByteArray EncodeJpegRows(const JpegRecipe& recipe, const JpegRowFill& fill) {
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &bytes, &size);
    CompressJpegRows(info, recipe, fill);
    jpeg_destroy_compress(&info);
    const QByteArray result(reinterpret_cast<const char*>(bytes), qsizetype(size));
    std::free(bytes);
    return result;
}

// The JPEG written to a file; false when the file cannot be written.
inline bool WriteJpegRows(const char* path, const JpegRecipe& recipe, const JpegRowFill& fill) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    CompressJpegRows(info, recipe, fill);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

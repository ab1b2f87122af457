// SPDX-License-Identifier: MIT
#pragma once

// The JPEG sources the plane and block roads' tests are made from, written by libjpeg with
// the choices real cameras and editors make, and the stamp those tests put on them.

#include "engine/stamp_settings.h"

#include <QFile>
#include <QImage>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

enum class JpegKind { Colour, Grey, Cmyk };

struct JpegSource {
    JpegKind kind = JpegKind::Colour;
    int h = 2;  // the luma's sampling
    int v = 2;
    int quality = 92;
    bool progressive = false;
    int restartRows = 0;
    bool ownCrTable = false;  // Cr quantised with a third table of its own
};

// Writes `image` as `source` says; CMYK as Adobe's inverted kind.
inline bool WriteJpeg(const QString& path, const QImage& image, const JpegSource& source) {
    struct Jump {
        jpeg_error_mgr pub{};
        std::jmp_buf jump{};
    };
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (file == nullptr) {
        return false;
    }
    jpeg_compress_struct info{};
    Jump errors;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<Jump*>(c->err)->jump, 1);
    };
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::fclose(file);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    const bool grey = source.kind == JpegKind::Grey;
    const bool cmyk = source.kind == JpegKind::Cmyk;
    info.input_components = grey ? 1 : cmyk ? 4 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, source.quality, TRUE);
    info.comp_info[0].h_samp_factor = source.h;
    info.comp_info[0].v_samp_factor = source.v;
    info.restart_in_rows = source.restartRows;
    if (source.ownCrTable && info.num_components >= 3) {
        unsigned int steps[64];
        for (int k = 0; k < 64; ++k) {
            steps[k] = unsigned(3 + k / 2);
        }
        jpeg_add_quant_table(&info, 2, steps, 100, TRUE);
        info.comp_info[2].quant_tbl_no = 2;
    }
    if (source.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(image.width()) * 4);
    while (info.next_scanline < info.image_height) {
        const auto* in =
            reinterpret_cast<const QRgb*>(image.constScanLine(int(info.next_scanline)));
        for (int x = 0; x < image.width(); ++x) {
            JSAMPLE* out = row.data() + size_t(x) * size_t(info.input_components);
            if (grey) {
                out[0] = JSAMPLE(qGray(in[x]));
                continue;
            }
            out[0] = JSAMPLE(qRed(in[x]));
            out[1] = JSAMPLE(qGreen(in[x]));
            out[2] = JSAMPLE(qBlue(in[x]));
            if (cmyk) {
                out[3] = 255;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

// White two-line text in the lower right of `base`; styled, with an outline, a shadow, a
// box and the colour chosen from the picture.
inline StampSettings PlaneRoadStamp(StampSettings base, bool styled) {
    base.text = QStringLiteral("Stamp 12:34\r\nsecond line");
    base.position = QStringLiteral("Lower-right");
    base.color = 0xFFFFFF;
    if (styled) {
        StampStyle style;
        style.outline = StampDecoration{};
        style.shadow = StampDecoration{};
        style.box = StampDecoration{};
        StampTextColor automatic;
        automatic.automatic = true;
        style.color = automatic;
        base.style = style;
    }
    return base;
}

// SPDX-License-Identifier: MIT
#include "jpeg444_writer.h"

#include <QColorSpace>
#include <csetjmp>
#include <cstdlib>
#include <vector>

#include "imageio/jpeg_error_manager.h"

namespace velloran::convert {

namespace {

constexpr int kQuality = 100;

// Qt gives images that state no resolution a default one; those keep JFIF's aspect-only
// header.
bool statesResolution(const QImage& image) {
    const QImage unstated(1, 1, QImage::Format_RGB32);
    return image.dotsPerMeterX() != unstated.dotsPerMeterX() ||
           image.dotsPerMeterY() != unstated.dotsPerMeterY();
}

struct Encoder {
    jpeg_compress_struct info{};
    JpegErrorManager errors;
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;

    Encoder() { errors.Attach(reinterpret_cast<j_common_ptr>(&info)); }
    ~Encoder() {
        jpeg_destroy_compress(&info);
        std::free(output);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

// One row as R, G, B bytes, over white. Qt's conversion rounds 16-bit samples.
void rowOverWhite(const QImage& image, int y, std::vector<JSAMPLE>& out) {
    QImage row(image.constScanLine(y), image.width(), 1, image.bytesPerLine(), image.format());
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono ||
        image.format() == QImage::Format_MonoLSB) {
        row.setColorTable(image.colorTable());
    }
    const QImage rgba = row.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const uchar* in = rgba.constScanLine(0);
    for (int x = 0; x < image.width(); ++x, in += 4) {
        const int white = 255 - in[3];
        out[size_t(x) * 3] = JSAMPLE(in[0] + white);
        out[size_t(x) * 3 + 1] = JSAMPLE(in[1] + white);
        out[size_t(x) * 3 + 2] = JSAMPLE(in[2] + white);
    }
}

// Holds only trivially destructible locals: libjpeg's errors jump back to the setjmp.
bool compress(Encoder* encoder, const QImage& image, const QByteArray& profile,
              std::vector<JSAMPLE>* row) {
    if (setjmp(encoder->errors.jump))
        return false;
    jpeg_compress_struct* info = &encoder->info;
    jpeg_create_compress(info);
    jpeg_mem_dest(info, &encoder->output, &encoder->outputSize);
    info->image_width = JDIMENSION(image.width());
    info->image_height = JDIMENSION(image.height());
    info->input_components = 3;
    info->in_color_space = JCS_RGB;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, kQuality, TRUE);
    info->dct_method = JDCT_ISLOW;
    for (int i = 0; i < info->num_components; ++i) {
        info->comp_info[i].h_samp_factor = 1;
        info->comp_info[i].v_samp_factor = 1;
    }
    if (statesResolution(image)) {
        info->density_unit = 1;  // dots per inch
        info->X_density = UINT16(qBound(1, qRound(image.dotsPerMeterX() * 0.0254), 65535));
        info->Y_density = UINT16(qBound(1, qRound(image.dotsPerMeterY() * 0.0254), 65535));
    }
    jpeg_start_compress(info, TRUE);
    if (!profile.isEmpty()) {
        jpeg_write_icc_profile(info, reinterpret_cast<const JOCTET*>(profile.constData()),
                               unsigned(profile.size()));
    }
    while (info->next_scanline < info->image_height) {
        rowOverWhite(image, int(info->next_scanline), *row);
        JSAMPROW rows[1] = {row->data()};
        jpeg_write_scanlines(info, rows, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

}  // namespace

bool encodeJpeg444(const QImage& image, QByteArray* jpeg, QString* error) {
    if (image.isNull() || image.width() > JPEG_MAX_DIMENSION ||
        image.height() > JPEG_MAX_DIMENSION) {
        *error = QStringLiteral("JPEG pictures cannot be larger than %1 pixels a side")
                     .arg(JPEG_MAX_DIMENSION);
        return false;
    }
    const QColorSpace space = image.colorSpace();
    const QByteArray profile = space.isValid() && space != QColorSpace(QColorSpace::SRgb)
                                   ? space.iccProfile()
                                   : QByteArray();
    Encoder encoder;
    std::vector<JSAMPLE> row(size_t(image.width()) * 3);
    if (!compress(&encoder, image, profile, &row)) {
        *error = encoder.errors.Message();
        return false;
    }
    *jpeg =
        QByteArray(reinterpret_cast<const char*>(encoder.output), qsizetype(encoder.outputSize));
    return true;
}

}  // namespace velloran::convert

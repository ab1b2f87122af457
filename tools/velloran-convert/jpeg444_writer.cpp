// SPDX-License-Identifier: MIT
#include "jpeg444_writer.h"

#include <QColorSpace>
#include <csetjmp>
#include <cstdlib>
#include <new>
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

// The compressed bytes go through a fixed buffer to `sink` whenever it fills, so no
// growing block of the whole JPEG is held and copied. After a failed hand-over the rest
// is encoded into the same buffer and dropped: libjpeg cannot stop half-way but by its
// error exit.
struct SinkDestination {
    jpeg_destination_mgr manager{};
    const JpegSink* sink = nullptr;
    std::vector<JOCTET> buffer = std::vector<JOCTET>(kBufferBytes);
    QString failure;

    static constexpr size_t kBufferBytes = 64 << 10;

    static SinkDestination* of(j_compress_ptr info) {
        return reinterpret_cast<SinkDestination*>(info->dest);
    }
    void handOver(size_t bytes) {
        if (failure.isEmpty() && bytes > 0 &&
            !(*sink)(reinterpret_cast<const char*>(buffer.data()), qsizetype(bytes), &failure) &&
            failure.isEmpty())
            failure = QStringLiteral("the JPEG cannot be written");
        manager.next_output_byte = buffer.data();
        manager.free_in_buffer = buffer.size();
    }
    static void start(j_compress_ptr info) { of(info)->handOver(0); }
    static boolean full(j_compress_ptr info) {
        of(info)->handOver(of(info)->buffer.size());
        return TRUE;
    }
    static void finish(j_compress_ptr info) {
        SinkDestination* self = of(info);
        self->handOver(self->buffer.size() - self->manager.free_in_buffer);
    }
};

struct Encoder {
    jpeg_compress_struct info{};
    JpegErrorManager errors;
    SinkDestination destination;

    explicit Encoder(const JpegSink* sink) {
        errors.Attach(reinterpret_cast<j_common_ptr>(&info));
        destination.sink = sink;
        destination.manager.init_destination = SinkDestination::start;
        destination.manager.empty_output_buffer = SinkDestination::full;
        destination.manager.term_destination = SinkDestination::finish;
    }
    ~Encoder() { jpeg_destroy_compress(&info); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

// One row as R, G, B bytes, over white, through Qt's conversion. Qt rounds 16-bit samples.
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

// One row as rowOverWhite makes it, read straight from the formats the converter's readers
// give its pictures in: the row itself when it holds R, G, B bytes already.
JSAMPROW rowOf(const QImage& image, int y, std::vector<JSAMPLE>& out) {
    const uchar* in = image.constScanLine(y);
    JSAMPLE* to = out.data();
    const int width = image.width();
    switch (image.format()) {
        case QImage::Format_RGB888:
            // libjpeg only reads the rows it is given.
            return const_cast<JSAMPLE*>(in);
        case QImage::Format_Grayscale8:
            for (int x = 0; x < width; ++x, to += 3)
                to[0] = to[1] = to[2] = in[x];
            break;
        case QImage::Format_BGR888:
            for (int x = 0; x < width; ++x, in += 3, to += 3) {
                to[0] = in[2];
                to[1] = in[1];
                to[2] = in[0];
            }
            break;
        case QImage::Format_RGBA8888_Premultiplied:
            for (int x = 0; x < width; ++x, in += 4, to += 3) {
                const int white = 255 - in[3];
                to[0] = JSAMPLE(in[0] + white);
                to[1] = JSAMPLE(in[1] + white);
                to[2] = JSAMPLE(in[2] + white);
            }
            break;
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32_Premultiplied: {
            const bool opaque = image.format() == QImage::Format_RGB32;
            const auto* pixel = reinterpret_cast<const QRgb*>(in);
            for (int x = 0; x < width; ++x, to += 3) {
                const int white = opaque ? 0 : 255 - qAlpha(pixel[x]);
                to[0] = JSAMPLE(qRed(pixel[x]) + white);
                to[1] = JSAMPLE(qGreen(pixel[x]) + white);
                to[2] = JSAMPLE(qBlue(pixel[x]) + white);
            }
            break;
        }
        default:
            rowOverWhite(image, y, out);
    }
    return out.data();
}

// Holds only trivially destructible locals: libjpeg's errors jump back to the setjmp.
bool compress(Encoder* encoder, const QImage& image, const QByteArray& profile,
              std::vector<JSAMPLE>* row) {
    if (setjmp(encoder->errors.jump))
        return false;
    jpeg_compress_struct* info = &encoder->info;
    jpeg_create_compress(info);
    info->dest = &encoder->destination.manager;
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
        JSAMPROW rows[1] = {rowOf(image, int(info->next_scanline), *row)};
        jpeg_write_scanlines(info, rows, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

}  // namespace

bool encodeJpeg444(const QImage& image, const JpegSink& sink, QString* error) {
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
    Encoder encoder(&sink);
    std::vector<JSAMPLE> row(size_t(image.width()) * 3);
    if (!compress(&encoder, image, profile, &row)) {
        *error = encoder.errors.Message();
        return false;
    }
    if (!encoder.destination.failure.isEmpty()) {
        *error = encoder.destination.failure;
        return false;
    }
    return true;
}

bool encodeJpeg444(const QImage& image, QByteArray* jpeg, QString* error) {
    jpeg->clear();
    const JpegSink toMemory = [jpeg](const char* bytes, qsizetype size, QString* failure) {
        // No exception may cross libjpeg.
        try {
            jpeg->append(bytes, size);
            return true;
        } catch (const std::bad_alloc&) {
            *failure = QStringLiteral("there is not enough memory for the JPEG");
            return false;
        }
    };
    return encodeJpeg444(image, toMemory, error);
}

}  // namespace velloran::convert

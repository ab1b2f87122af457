// SPDX-License-Identifier: MIT
#include "imageio/jpeg_decoder.h"

#include "imageio/jpeg_decompressor.h"
#include "imageio/jpeg_error_manager.h"
#include "imageio/pixel_buffer_pool.h"

#include <QTransform>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// ---- EXIF orientation ----

// The Orientation tag (0x0112) of IFD0 in an EXIF TIFF block; 1 (upright) when the block
// holds none or is malformed.
int OrientationFromTiff(const uchar* tiff, quint64 size) {
    if (size < 8) {
        return 1;
    }
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!little && !big) {
        return 1;
    }
    const auto u16 = [&](quint64 at) -> quint32 {
        return little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1];
    };
    const auto u32 = [&](quint64 at) -> quint32 {
        return little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2);
    };
    if (u16(2) != 42) {
        return 1;
    }
    const quint64 ifd = u32(4);
    if (ifd + 2 > size) {
        return 1;
    }
    const quint32 entries = u16(ifd);
    for (quint32 i = 0; i < entries; ++i) {
        const quint64 entry = ifd + 2 + 12 * quint64(i);
        if (entry + 12 > size) {
            break;
        }
        if (u16(entry) != 0x0112) {
            continue;
        }
        const quint32 type = u16(entry + 2);
        const quint32 value = type == 3 ? u16(entry + 8) : type == 4 ? u32(entry + 8) : 0;
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

int ExifOrientation(const jpeg_decompress_struct& info) {
    static const char kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > sizeof kExif &&
            std::memcmp(m->data, kExif, sizeof kExif) == 0) {
            return OrientationFromTiff(m->data + sizeof kExif, m->data_length - sizeof kExif);
        }
    }
    return 1;
}

// Turns the decoded rows upright. Orientations 5 to 8 swap width and height.
QImage Upright(QImage image, int orientation) {
    const QTransform quarterTurn = QTransform().rotate(90);
    switch (orientation) {
        case 2:
            return std::move(image).mirrored(true, false);
        case 3:
            return std::move(image).mirrored(true, true);
        case 4:
            return std::move(image).mirrored(false, true);
        case 5:
            return std::move(image).mirrored(false, true).transformed(quarterTurn);
        case 6:
            return image.transformed(quarterTurn);
        case 7:
            return std::move(image).mirrored(true, false).transformed(quarterTurn);
        case 8:
            return image.transformed(QTransform().rotate(270));
        default:
            return image;
    }
}

bool ReadJpegHeader(JpegDecoder* decoder, const uchar* data, unsigned long size) {
    if (setjmp(decoder->errors.jump)) {
        return false;
    }
    jpeg_create_decompress(&decoder->info);
    decoder->errors.LimitScans(&decoder->info);
    jpeg_mem_src(&decoder->info, data, size);
    jpeg_save_markers(&decoder->info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&decoder->info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&decoder->info, TRUE);
    return true;
}

bool IsCmyk(const jpeg_decompress_struct& info) {
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

// Decodes every row into the image's memory: BGRX is Format_RGB32's byte order on a
// little-endian machine, so no row is converted afterwards. CMYK rows (4 bytes a pixel
// as well) are decoded in place and converted by the caller.
bool DecodeJpegRows(JpegDecoder* decoder, uchar* bits, qsizetype bytesPerLine) {
    if (setjmp(decoder->errors.jump)) {
        return false;
    }
    jpeg_decompress_struct* info = &decoder->info;
    if (IsCmyk(*info)) {
        info->out_color_space = JCS_CMYK;
    } else {
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        info->out_color_space = JCS_EXT_BGRX;
#else
        info->out_color_space = JCS_EXT_XRGB;
#endif
    }
    jpeg_start_decompress(info);
    constexpr JDIMENSION kRowsPerCall = 16;
    JSAMPROW rows[kRowsPerCall];
    while (info->output_scanline < info->output_height) {
        const JDIMENSION count =
            std::min(kRowsPerCall, info->output_height - info->output_scanline);
        for (JDIMENSION i = 0; i < count; ++i) {
            rows[i] = bits + qsizetype(info->output_scanline + i) * bytesPerLine;
        }
        jpeg_read_scanlines(info, rows, count);
    }
    jpeg_finish_decompress(info);
    return true;
}

// Adobe writes CMYK JPEGs inverted, as nearly every CMYK JPEG is.
void CmykRowsToRgb(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        uchar* in = image.scanLine(y);
        QRgb* out = reinterpret_cast<QRgb*>(in);
        for (int x = 0; x < image.width(); ++x, in += 4) {
            const int k = in[3];
            out[x] = qRgb(k * in[0] / 255, k * in[1] / 255, k * in[2] / 255);
        }
    }
}

// JFIF density in dots per metre; 0 when the header gives none.
int DotsPerMetre(const jpeg_decompress_struct& info, UINT16 density) {
    if (!info.saw_JFIF_marker || density == 0) {
        return 0;
    }
    switch (info.density_unit) {
        case 1:
            return qRound(density / 0.0254);
        case 2:
            return density * 100;
        default:
            return 0;
    }
}

// Takes the embedded profile while the saved markers are still there.
// Reads the colour profile with an error return of its own: libjpeg's allocator leaves
// through the error manager when memory runs out.
bool ReadIccProfile(JpegDecoder* decoder, QByteArray* profile) {
    if (setjmp(decoder->errors.jump)) {
        return false;
    }
    JOCTET* bytes = nullptr;
    unsigned int length = 0;
    if (jpeg_read_icc_profile(&decoder->info, &bytes, &length)) {
        *profile = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(length));
        std::free(bytes);
    }
    return true;
}

// Every block of every component as libjpeg keeps them for a whole picture: a
// 64-coefficient block of 2-byte values each, rounded up to whole MCUs as libjpeg
// allocates them.
qint64 WholeCoefficientBytes(const jpeg_decompress_struct& info) {
    qint64 total = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        const auto roundUp = [](qint64 value, qint64 step) {
            return step > 0 ? (value + step - 1) / step * step : value;
        };
        total += roundUp(component.width_in_blocks, component.h_samp_factor) *
                 roundUp(component.height_in_blocks, component.v_samp_factor) *
                 qint64(sizeof(JBLOCK));
    }
    return total;
}

// The coefficient buffers a decode to pixels or planes holds: the whole picture's for a
// progressive file; other files are decoded a row of blocks at a time.
qint64 CoefficientBytes(const jpeg_decompress_struct& info) {
    return info.progressive_mode ? WholeCoefficientBytes(info) : 0;
}

DecodedJpeg Failed(const JpegErrorManager& errors) {
    DecodedJpeg result;
    result.failure = errors.Message();
    result.damaged = errors.damaged || errors.tooManyScans;
    result.tooLarge = !result.damaged && errors.OutOfMemory();
    if (result.tooLarge) {
        result.failure = QStringLiteral("its decoder needs more memory than that");
    }
    return result;
}

// The picture's own bytes; turning it a quarter round holds a second copy for a moment.
qint64 ImageBytes(const jpeg_decompress_struct& info, int orientation) {
    return qint64(info.image_width) * info.image_height * 4 * (orientation >= 5 ? 2 : 1);
}

// Sets `result` to "too large" when the picture, or the picture with the decoder's own
// buffers, exceeds the limit. Known from the header, so nothing of it is had yet.
bool RefusedBySize(const jpeg_decompress_struct& info, qint64 imageBytes, qint64 byteLimit,
                   DecodedJpeg* result) {
    if (byteLimit > 0 && imageBytes > byteLimit) {
        result->tooLarge = true;
        result->failure =
            QStringLiteral("%1 x %2 pixels").arg(info.image_width).arg(info.image_height);
        return true;
    }
    // What the picture leaves of the limit bounds the decoder's own buffers: a progressive
    // file keeps every coefficient of the picture, twice the picture's size for CMYK.
    if (byteLimit > 0 && imageBytes + CoefficientBytes(info) > byteLimit) {
        result->tooLarge = true;
        result->failure = QStringLiteral("its decoder needs more memory than that");
        return true;
    }
    return false;
}

// The samplings the planes hold: greyscale, or YCbCr with one chroma sample for each luma
// block or each 2 luma blocks across, down or both.
bool PlanesCanHold(const jpeg_decompress_struct& info) {
    const jpeg_component_info* c = info.comp_info;
    if (info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1) {
        return c[0].h_samp_factor == 1 && c[0].v_samp_factor == 1;
    }
    if (info.jpeg_color_space != JCS_YCbCr || info.num_components != 3) {
        return false;
    }
    const auto oneOrTwo = [](int factor) { return factor == 1 || factor == 2; };
    return oneOrTwo(c[0].h_samp_factor) && oneOrTwo(c[0].v_samp_factor) &&
           c[1].h_samp_factor == 1 && c[1].v_samp_factor == 1 && c[2].h_samp_factor == 1 &&
           c[2].v_samp_factor == 1;
}

// Reads every block of the picture, entropy-decoded only; null on any failure or damage.
jvirt_barray_ptr* ReadCoefficients(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.jump)) {
        return nullptr;
    }
    return jpeg_read_coefficients(&decoder->info);
}

// Decodes every iMCU row's blocks straight into the planes, which are padded to whole MCUs
// as libjpeg writes them.
bool DecodeRawRows(JpegDecoder* decoder, JpegPlanes* planes) {
    if (setjmp(decoder->errors.jump)) {
        return false;
    }
    jpeg_decompress_struct* info = &decoder->info;
    info->raw_data_out = TRUE;
    info->out_color_space = info->jpeg_color_space;
    jpeg_start_decompress(info);
    JSAMPROW rows[3][2 * DCTSIZE];
    JSAMPARRAY components[3] = {rows[0], rows[1], rows[2]};
    const JDIMENSION rowsPerCall = JDIMENSION(info->max_v_samp_factor * DCTSIZE);
    for (int first = 0; info->output_scanline < info->output_height; ++first) {
        for (int c = 0; c < info->num_components; ++c) {
            JpegPlane& plane = planes->planes[size_t(c)];
            const int count = info->comp_info[c].v_samp_factor * DCTSIZE;
            for (int i = 0; i < count; ++i) {
                rows[c][i] = plane.Row(first * count + i);
            }
        }
        jpeg_read_raw_data(info, components, rowsPerCall);
    }
    jpeg_finish_decompress(info);
    return true;
}

}  // namespace

std::optional<JpegPlanes> DecodeJpegPlanes(const QByteArray& data, qint64 byteLimit) {
    JpegDecoder decoder;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (!ReadJpegHeader(&decoder, bytes, static_cast<unsigned long>(data.size()))) {
        return std::nullopt;
    }
    jpeg_decompress_struct& info = decoder.info;
    if (!PlanesCanHold(info) || ExifOrientation(info) != 1 || info.image_width == 0 ||
        info.image_height == 0) {
        return std::nullopt;
    }
    const bool grey = info.num_components == 1;
    // A greyscale picture gets neutral chroma at 4:2:0, the sampling of every other copy.
    const int hSamp = grey ? 2 : info.comp_info[0].h_samp_factor;
    const int vSamp = grey ? 2 : info.comp_info[0].v_samp_factor;
    const int width = int(info.image_width);
    const int height = int(info.image_height);
    const qint64 planeBytes = JpegPlanesBytes(width, height, hSamp, vSamp);
    if (byteLimit > 0 && planeBytes + CoefficientBytes(info) > byteLimit) {
        return std::nullopt;
    }
    if (byteLimit > 0) {
        info.mem->max_memory_to_use = long(std::max<qint64>(byteLimit - planeBytes, 1));
    }
    JpegPlanes planes = AllocateJpegPlanes(width, height, hSamp, vSamp);
    if (planes.width == 0 || !DecodeRawRows(&decoder, &planes)) {
        return std::nullopt;
    }
    if (grey) {
        for (size_t c = 1; c < 3; ++c) {
            JpegPlane& plane = planes.planes[c];
            std::memset(plane.samples.get(), 128, size_t(plane.samplesAcross) * size_t(plane.rows));
        }
    }
    PadJpegPlanes(planes);
    planes.dotsPerMetreX = DotsPerMetre(info, info.X_density);
    planes.dotsPerMetreY = DotsPerMetre(info, info.Y_density);
    return planes;
}

std::optional<JpegCoefficients> DecodeJpegCoefficients(const QByteArray& data,
                                                       qint64 byteLimit) {
    auto decoder = std::make_unique<JpegDecoder>();
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (!ReadJpegHeader(decoder.get(), bytes, static_cast<unsigned long>(data.size()))) {
        return std::nullopt;
    }
    jpeg_decompress_struct& info = decoder->info;
    if (info.num_components != 3 || !PlanesCanHold(info) || ExifOrientation(info) != 1 ||
        info.image_width == 0 || info.image_height == 0) {
        return std::nullopt;
    }
    if (byteLimit > 0 && WholeCoefficientBytes(info) > byteLimit) {
        return std::nullopt;
    }
    if (byteLimit > 0) {
        info.mem->max_memory_to_use = long(byteLimit);
    }
    decoder->blockArrays = std::make_unique<JpegBlockArrays>();
    decoder->blockArrays->Install(&info);
    jvirt_barray_ptr* arrays = ReadCoefficients(decoder.get());
    if (arrays == nullptr) {
        return std::nullopt;
    }
    // Every block is read: nothing calls on the source again, so the decoder may outlive
    // `data` (it is destroyed without finishing, which would read on to the end).
    info.src = nullptr;
    const int dpmX = DotsPerMetre(info, info.X_density);
    const int dpmY = DotsPerMetre(info, info.Y_density);
    JpegCoefficients coefficients(std::move(decoder), arrays);
    coefficients.dotsPerMetreX = dpmX;
    coefficients.dotsPerMetreY = dpmY;
    return coefficients;
}

DecodedJpeg CheckJpegSize(const QByteArray& head, qint64 byteLimit) {
    JpegDecoder decoder;
    DecodedJpeg result;
    const auto* bytes = reinterpret_cast<const uchar*>(head.constData());
    if (ReadJpegHeader(&decoder, bytes, static_cast<unsigned long>(head.size()))) {
        RefusedBySize(decoder.info, ImageBytes(decoder.info, ExifOrientation(decoder.info)),
                      byteLimit, &result);
    }
    return result;
}

DecodedJpeg DecodeJpeg(const QByteArray& data, qint64 byteLimit, bool wantProfile) {
    JpegDecoder decoder;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (!ReadJpegHeader(&decoder, bytes, static_cast<unsigned long>(data.size()))) {
        return Failed(decoder.errors);
    }
    jpeg_decompress_struct& info = decoder.info;
    // Saved markers are freed when decoding finishes.
    const int orientation = ExifOrientation(info);
    const qint64 imageBytes = ImageBytes(info, orientation);
    DecodedJpeg result;
    if (RefusedBySize(info, imageBytes, byteLimit, &result)) {
        return result;
    }
    if (byteLimit > 0) {
        info.mem->max_memory_to_use = long(std::max<qint64>(byteLimit - imageBytes, 1));
    }
    if (wantProfile && !ReadIccProfile(&decoder, &result.iccProfile)) {
        return Failed(decoder.errors);
    }
    QImage image = pixel_buffer_pool::NewRgb32Image(int(info.image_width), int(info.image_height));
    if (image.isNull()) {
        result.tooLarge = true;
        result.failure = QStringLiteral("not enough memory for %1 x %2 pixels")
                             .arg(info.image_width)
                             .arg(info.image_height);
        return result;
    }
    if (!DecodeJpegRows(&decoder, image.bits(), image.bytesPerLine())) {
        return Failed(decoder.errors);
    }
    if (IsCmyk(info)) {
        CmykRowsToRgb(image);
    }
    int dpmX = DotsPerMetre(info, info.X_density);
    int dpmY = DotsPerMetre(info, info.Y_density);
    image = Upright(std::move(image), orientation);
    if (orientation >= 5) {
        std::swap(dpmX, dpmY);
    }
    if (dpmX > 0 && dpmY > 0) {
        image.setDotsPerMeterX(dpmX);
        image.setDotsPerMeterY(dpmY);
    }
    result.image = std::move(image);
    return result;
}

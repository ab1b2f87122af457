// SPDX-License-Identifier: MIT
#include "engine/save_jpeg.h"

#include "imageio/jpeg_decompressor.h"
#include "imageio/jpeg_error_manager.h"
#include "engine/jpeg_metadata_markers.h"
#include "engine/stamp_setting_table.h"
#include "imageio/result_file.h"
#include "util/vb_error.h"

#include <algorithm>
#include <array>
#include <csetjmp>

namespace {

// GDI+ status numbers the description reports.
constexpr int kGenericError = 1;
constexpr int kInvalidParameter = 2;
constexpr int kWin32Error = 7;

[[noreturn]] void Fail(int status) {
    Raise(vberr::kInvalidCall,
          QStringLiteral("Cannot save the image. GDI+ Error:") + QString::number(status));
}

// A result-file failure that says more than a GDI+ status could: a full disk, or a link of
// another user that is not written through.
void RethrowTelling(const ResultFileError& error) {
    if (error.failure() == ResultFailure::DiskFull ||
        error.failure() == ResultFailure::ForeignLink) {
        throw error;
    }
    Fail(kWin32Error);
}

// A libjpeg destination that streams the encoded bytes into the result file. A failed
// write is remembered rather than raised, so libjpeg finishes normally and the caller
// reports it.
struct FileDestination {
    jpeg_destination_mgr pub{};
    ResultFile* file = nullptr;
    bool writeFailed = false;
    JOCTET buffer[64 * 1024];
};

FileDestination* DestinationOf(j_compress_ptr info) {
    return reinterpret_cast<FileDestination*>(info->dest);
}

void Flush(FileDestination* destination, size_t count) {
    if (!destination->writeFailed && count > 0 &&
        destination->file->write(reinterpret_cast<const char*>(destination->buffer),
                                 qint64(count)) != qint64(count)) {
        destination->writeFailed = true;
    }
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = sizeof destination->buffer;
}

void StartDestination(j_compress_ptr info) {
    Flush(DestinationOf(info), 0);
}

boolean EmptyDestination(j_compress_ptr info) {
    FileDestination* destination = DestinationOf(info);
    Flush(destination, sizeof destination->buffer);
    return TRUE;
}

void FinishDestination(j_compress_ptr info) {
    FileDestination* destination = DestinationOf(info);
    Flush(destination, sizeof destination->buffer - destination->pub.free_in_buffer);
}

struct JpegEncoder {
    jpeg_compress_struct info{};
    JpegErrorManager errors;
    FileDestination destination;

    explicit JpegEncoder(ResultFile* file) {
        errors.Attach(reinterpret_cast<j_common_ptr>(&info));
        destination.file = file;
        destination.pub.init_destination = StartDestination;
        destination.pub.empty_output_buffer = EmptyDestination;
        destination.pub.term_destination = FinishDestination;
    }
    ~JpegEncoder() { jpeg_destroy_compress(&info); }
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;
};

// The encoder's settings every copy shares: the quality's tables, no Huffman optimisation,
// a JFIF header with the picture's resolution.
void SetCopySettings(jpeg_compress_struct* info, int quality, int dotsPerMetreX,
                     int dotsPerMetreY) {
    jpeg_set_quality(info, quality, TRUE);
    info->optimize_coding = FALSE;
    info->write_JFIF_header = TRUE;
    info->density_unit = 1;
    info->X_density = UINT16(JfifDotsPerInch(dotsPerMetreX));
    info->Y_density = UINT16(JfifDotsPerInch(dotsPerMetreY));
}

void StartCompress(jpeg_compress_struct* info, int quality, int dotsPerMetreX, int dotsPerMetreY,
                   const JpegMetadataMarkers* metadata) {
    SetCopySettings(info, quality, dotsPerMetreX, dotsPerMetreY);
    jpeg_start_compress(info, TRUE);
    WriteJpegMetadataMarkers(info, metadata);
}

// Encodes straight from the image's rows: Format_RGB32 is BGRX in memory on a
// little-endian machine, which libjpeg reads as it stands.
bool Encode(JpegEncoder* encoder, const QImage* image, int quality,
            const JpegMetadataMarkers* metadata) {
    if (setjmp(encoder->errors.jump)) {
        return false;
    }
    jpeg_compress_struct* info = &encoder->info;
    jpeg_create_compress(info);
    info->dest = &encoder->destination.pub;
    info->image_width = JDIMENSION(image->width());
    info->image_height = JDIMENSION(image->height());
    info->input_components = 4;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    info->in_color_space = JCS_EXT_BGRX;
#else
    info->in_color_space = JCS_EXT_XRGB;
#endif
    // Defaults: YCbCr with 2x2 luma sampling (4:2:0), Huffman tables not optimised.
    jpeg_set_defaults(info);
    StartCompress(info, quality, image->dotsPerMeterX(), image->dotsPerMeterY(), metadata);
    constexpr JDIMENSION kRowsPerCall = 16;
    JSAMPROW rows[kRowsPerCall];
    const uchar* bits = image->constBits();
    const qsizetype bytesPerLine = image->bytesPerLine();
    while (info->next_scanline < info->image_height) {
        const JDIMENSION count = std::min(kRowsPerCall, info->image_height - info->next_scanline);
        for (JDIMENSION i = 0; i < count; ++i) {
            // libjpeg only reads the rows it is given.
            rows[i] = const_cast<uchar*>(bits + qsizetype(info->next_scanline + i) * bytesPerLine);
        }
        jpeg_write_scanlines(info, rows, count);
    }
    jpeg_finish_compress(info);
    return true;
}

// Encodes the planes' blocks as they stand, one iMCU row a call, at the planes' own
// sampling: no colour conversion and no chroma filter touch them.
bool EncodePlanes(JpegEncoder* encoder, const JpegPlanes* planes, int dotsPerMetreX,
                  int dotsPerMetreY, int quality, const JpegMetadataMarkers* metadata) {
    if (setjmp(encoder->errors.jump)) {
        return false;
    }
    jpeg_compress_struct* info = &encoder->info;
    jpeg_create_compress(info);
    info->dest = &encoder->destination.pub;
    info->image_width = JDIMENSION(planes->width);
    info->image_height = JDIMENSION(planes->height);
    info->input_components = 3;
    info->in_color_space = JCS_YCbCr;
    jpeg_set_defaults(info);
    for (int c = 0; c < 3; ++c) {
        info->comp_info[c].h_samp_factor = planes->planes[size_t(c)].hSamp;
        info->comp_info[c].v_samp_factor = planes->planes[size_t(c)].vSamp;
    }
    info->raw_data_in = TRUE;
    StartCompress(info, quality, dotsPerMetreX, dotsPerMetreY, metadata);
    JSAMPROW rows[3][2 * DCTSIZE];
    JSAMPARRAY components[3] = {rows[0], rows[1], rows[2]};
    const JDIMENSION rowsPerCall = JDIMENSION(planes->MaxVSamp() * DCTSIZE);
    for (int first = 0; info->next_scanline < info->image_height; ++first) {
        for (int c = 0; c < 3; ++c) {
            const JpegPlane& plane = planes->planes[size_t(c)];
            const int count = plane.vSamp * DCTSIZE;
            for (int i = 0; i < count; ++i) {
                // libjpeg only reads the rows it is given.
                rows[c][i] = const_cast<uint8_t*>(plane.Row(first * count + i));
            }
        }
        jpeg_write_raw_data(info, components, rowsPerCall);
    }
    jpeg_finish_compress(info);
    return true;
}

// Writes the picture's own blocks, put into the quality's steps, with the settings of
// every other copy: the source's sampling, the header and tables a copy from planes has.
bool EncodeCoefficients(JpegEncoder* encoder, JpegCoefficients* picture, int dotsPerMetreX,
                        int dotsPerMetreY, int quality, const JpegMetadataMarkers* metadata) {
    if (setjmp(encoder->errors.jump)) {
        return false;
    }
    jpeg_compress_struct* info = &encoder->info;
    jpeg_create_compress(info);
    info->dest = &encoder->destination.pub;
    // The size, components, sampling and colour space of the source; the source's tables
    // and JFIF version are replaced below by what every copy has.
    jpeg_copy_critical_parameters(&picture->decoder().info, info);
    info->JFIF_major_version = 1;
    info->JFIF_minor_version = 1;
    SetCopySettings(info, quality, dotsPerMetreX, dotsPerMetreY);
    std::array<std::array<uint16_t, 64>, 3> steps{};
    for (int c = 0; c < 3; ++c) {
        info->comp_info[c].quant_tbl_no = c == 0 ? 0 : 1;
        const JQUANT_TBL* table = info->quant_tbl_ptrs[info->comp_info[c].quant_tbl_no];
        std::copy(table->quantval, table->quantval + 64, steps[size_t(c)].begin());
    }
    if (!picture->Requantise(steps)) {
        return false;
    }
    // The blocks are in the decoder's pooled arrays, which the encoder reads the same way.
    JpegBlockArrays::LendTo(info);
    jpeg_write_coefficients(info, picture->arrays());
    WriteJpegMetadataMarkers(info, metadata);
    jpeg_finish_compress(info);
    return true;
}

// Writes what `encode` gives through a result file at `path`, reporting a failure as
// SaveJpeg describes.
template <typename EncodeFunction>
void WriteJpegFile(const QString& path, const PhotoMetadata& metadata,
                   const EncodeFunction& encode) {
    try {
        ResultFile file(path);
        const JpegMetadataMarkers markers = PrepareJpegMetadataMarkers(metadata);
        JpegEncoder encoder(&file);
        if (!encode(&encoder, &markers)) {
            if (encoder.destination.writeFailed) {
                file.RaiseWriteError();
            }
            Fail(kGenericError);
        }
        if (encoder.destination.writeFailed) {
            file.RaiseWriteError();
        }
        file.Finish();
        file.Commit();
    } catch (const ResultFileError& error) {
        RethrowTelling(error);
    }
}

}  // namespace

int JfifDotsPerInch(int dotsPerMetre) {
    return std::clamp(qRound(dotsPerMetre * 0.0254), 1, 65535);
}

void SaveJpeg(const QImage& picture, const QString& path, int quality,
              const PhotoMetadata& metadata) {
    if (picture.isNull()) {
        Fail(kInvalidParameter);
    }
    // Alpha is dropped as in any JPEG; Format_ARGB32 holds unpremultiplied colours in
    // the same layout as Format_RGB32.
    const QImage pixels =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull()) {
        Fail(kGenericError);
    }
    WriteJpegFile(path, metadata, [&](JpegEncoder* encoder, const JpegMetadataMarkers* markers) {
        return Encode(encoder, &pixels, ClampQuality(quality), markers);
    });
}

QImage JpegPlanesShape(const JpegPlanes& planes) {
    // The luma's own samples: a picture of the copy's size without a copy of its pixels.
    const JpegPlane& luma = planes.planes[0];
    // Its resolution is set while it is the buffer's only user: a picture over a read-only
    // buffer, or one shared, would copy the samples to change it.
    QImage shape(luma.samples.get(), planes.width, planes.height, luma.samplesAcross,
                 QImage::Format_Grayscale8);
    // As a decoded picture: the file's resolution when it gives both, else a new image's.
    if (planes.dotsPerMetreX > 0 && planes.dotsPerMetreY > 0) {
        shape.setDotsPerMeterX(planes.dotsPerMetreX);
        shape.setDotsPerMeterY(planes.dotsPerMetreY);
    }
    return shape;
}

void SaveJpegPlanes(const JpegPlanes& planes, const QString& path, int quality,
                    const PhotoMetadata& metadata) {
    if (planes.width <= 0 || planes.height <= 0) {
        Fail(kInvalidParameter);
    }
    const QImage shape = JpegPlanesShape(planes);
    WriteJpegFile(path, metadata, [&](JpegEncoder* encoder, const JpegMetadataMarkers* markers) {
        return EncodePlanes(encoder, &planes, shape.dotsPerMeterX(), shape.dotsPerMeterY(),
                            ClampQuality(quality), markers);
    });
}

void SaveJpegCoefficients(JpegCoefficients& picture, const QString& path, int quality,
                          const PhotoMetadata& metadata) {
    const CopyShape shape = JpegCoefficientsShape(picture);
    WriteJpegFile(path, metadata, [&](JpegEncoder* encoder, const JpegMetadataMarkers* markers) {
        return EncodeCoefficients(encoder, &picture, shape.dotsPerMetreX, shape.dotsPerMetreY,
                                  ClampQuality(quality), markers);
    });
}

CopyShape JpegCoefficientsShape(const JpegCoefficients& picture) {
    // As a decoded picture: the file's resolution when it gives both, else a new image's.
    if (picture.dotsPerMetreX > 0 && picture.dotsPerMetreY > 0) {
        return {picture.Size(), picture.dotsPerMetreX, picture.dotsPerMetreY};
    }
    static const QImage fresh(1, 1, QImage::Format_Mono);
    return {picture.Size(), fresh.dotsPerMeterX(), fresh.dotsPerMeterY()};
}

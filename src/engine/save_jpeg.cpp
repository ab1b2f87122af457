// SPDX-License-Identifier: MIT
#include "engine/save_jpeg.h"

#include "imageio/jpeg_error_manager.h"
#include "engine/jpeg_metadata_markers.h"
#include "engine/stamp_setting_table.h"
#include "imageio/result_file.h"
#include "util/vb_error.h"

#include <algorithm>
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
    jpeg_set_quality(info, quality, TRUE);
    info->optimize_coding = FALSE;
    info->write_JFIF_header = TRUE;
    info->density_unit = 1;
    info->X_density = UINT16(JfifDotsPerInch(image->dotsPerMeterX()));
    info->Y_density = UINT16(JfifDotsPerInch(image->dotsPerMeterY()));
    jpeg_start_compress(info, TRUE);
    WriteJpegMetadataMarkers(info, metadata);
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
    try {
        ResultFile file(path);
        const JpegMetadataMarkers markers = PrepareJpegMetadataMarkers(metadata);
        JpegEncoder encoder(&file);
        if (!Encode(&encoder, &pixels, ClampQuality(quality), &markers)) {
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

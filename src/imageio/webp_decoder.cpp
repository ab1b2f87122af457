// SPDX-License-Identifier: MIT
#include "imageio/webp_decoder.h"
#include "imageio/vector_state.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

namespace {

// Beside the 4 bytes a pixel of the result: a lossless picture is decoded through a
// transform buffer of its own; an animation keeps two canvases.
constexpr qint64 kExtraBytesPerLossyPixel = 1;
constexpr qint64 kExtraBytesPerLosslessPixel = 4;
constexpr qint64 kExtraBytesPerAnimationPixel = 8;

// Format_RGB32 and Format_ARGB32 hold B, G, R, A in memory on a little-endian machine.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr WEBP_CSP_MODE kQImageOrder = MODE_BGRA;
#else
constexpr WEBP_CSP_MODE kQImageOrder = MODE_ARGB;
#endif

const uint8_t* Bytes(const QByteArray& data) {
    return reinterpret_cast<const uint8_t*>(data.constData());
}

QString StatusText(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_NOT_ENOUGH_DATA:
            return QStringLiteral("the data ends early");
        case VP8_STATUS_BITSTREAM_ERROR:
            return QStringLiteral("the coded picture is garbled");
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            return QStringLiteral("it uses a feature that cannot be read");
        case VP8_STATUS_OUT_OF_MEMORY:
            return QStringLiteral("out of memory");
        default:
            return QStringLiteral("libwebp status %1").arg(int(status));
    }
}

DecodedPicture Damaged(const QString& why) {
    DecodedPicture result;
    result.damaged = true;
    result.failure = why;
    return result;
}

DecodedPicture TooLarge(qint64 width, qint64 height) {
    DecodedPicture result;
    result.tooLarge = true;
    result.failure = QStringLiteral("%1 x %2 pixels").arg(width).arg(height);
    return result;
}

struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

DecodedPicture DecodeFirstFrame(const QByteArray& data, qint64 byteLimit) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        return Damaged(QStringLiteral("libwebp cannot be set up"));
    }
    options.color_mode = kQImageOrder;
    options.use_threads = 0;
    const WebPData webp{Bytes(data), size_t(data.size())};
    // The demuxer checks every chunk against the file's size before a canvas is made.
    const std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(
        WebPAnimDecoderNew(&webp, &options));
    if (!decoder) {
        return Damaged(QStringLiteral("the animation's chunks are damaged or cut"));
    }
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info)) {
        return Damaged(QStringLiteral("the animation's header is damaged"));
    }
    if (!FitsByteLimit(info.canvas_width, info.canvas_height, kExtraBytesPerAnimationPixel,
                       byteLimit)) {
        return TooLarge(info.canvas_width, info.canvas_height);
    }
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) {
        return Damaged(QStringLiteral("the first frame cannot be decoded"));
    }
    DecodedPicture result;
    QImage picture(int(info.canvas_width), int(info.canvas_height), QImage::Format_ARGB32);
    if (picture.isNull()) {
        return TooLarge(info.canvas_width, info.canvas_height);
    }
    const qsizetype rowBytes = qsizetype(info.canvas_width) * 4;
    for (int y = 0; y < picture.height(); ++y) {
        std::memcpy(picture.scanLine(y), canvas + y * rowBytes, size_t(rowBytes));
    }
    result.image = std::move(picture);
    return result;
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};

// The first chunk of that name's payload, or nothing.
QByteArray Chunk(const WebPDemuxer* demuxer, const char* fourcc) {
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demuxer, fourcc, 1, &chunk)) {
        return {};
    }
    QByteArray payload(reinterpret_cast<const char*>(chunk.chunk.bytes),
                       qsizetype(chunk.chunk.size));
    WebPDemuxReleaseChunkIterator(&chunk);
    return payload;
}

}  // namespace

DecodedPicture DecodeWebP(const QByteArray& data, qint64 byteLimit) {
    WebPBitstreamFeatures features;
    const VP8StatusCode headerStatus = WebPGetFeatures(Bytes(data), size_t(data.size()), &features);
    if (headerStatus != VP8_STATUS_OK) {
        return Damaged(StatusText(headerStatus));
    }
    if (features.has_animation) {
        // The animation decoder makes its canvases as it is made: their size comes first.
        if (!FitsByteLimit(features.width, features.height, kExtraBytesPerAnimationPixel,
                           byteLimit)) {
            return TooLarge(features.width, features.height);
        }
        return DecodeFirstFrame(data, byteLimit);
    }
    const bool lossless = features.format == 2;
    if (!FitsByteLimit(features.width, features.height,
                       lossless ? kExtraBytesPerLosslessPixel : kExtraBytesPerLossyPixel,
                       byteLimit)) {
        return TooLarge(features.width, features.height);
    }
    QImage picture(features.width, features.height,
                   features.has_alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (picture.isNull()) {
        return TooLarge(features.width, features.height);
    }
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        return Damaged(QStringLiteral("libwebp cannot be set up"));
    }
    config.output.colorspace = kQImageOrder;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.bits();
    config.output.u.RGBA.stride = int(picture.bytesPerLine());
    config.output.u.RGBA.size = size_t(picture.sizeInBytes());
    ClearUpperVectorState();
    const VP8StatusCode status = WebPDecode(Bytes(data), size_t(data.size()), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
        return Damaged(StatusText(status));
    }
    DecodedPicture result;
    result.image = std::move(picture);
    return result;
}

DecodedPicture CheckWebPSize(const QByteArray& head, qint64 byteLimit) {
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(Bytes(head), size_t(head.size()), &features) != VP8_STATUS_OK) {
        return {};
    }
    const qint64 extra = features.has_animation  ? kExtraBytesPerAnimationPixel
                         : features.format == 2 ? kExtraBytesPerLosslessPixel
                                                : kExtraBytesPerLossyPixel;
    return FitsByteLimit(features.width, features.height, extra, byteLimit)
               ? DecodedPicture()
               : TooLarge(features.width, features.height);
}

PictureFacts ReadWebPFacts(const QByteArray& data) {
    PictureFacts facts;
    WebPBitstreamFeatures features;
    facts.lossless =
        WebPGetFeatures(Bytes(data), size_t(data.size()), &features) == VP8_STATUS_OK &&
        !features.has_animation && features.format == 2;
    const WebPData webp{Bytes(data), size_t(data.size())};
    // The demuxer indexes the chunks in one pass; the mux's reader costs time growing with
    // the square of an animation's frames (100,000 frames of 5 MB: half a minute).
    const std::unique_ptr<WebPDemuxer, DemuxDeleter> demuxer(WebPDemux(&webp));
    if (!demuxer) {
        return facts;
    }
    facts.metadata.exif = Chunk(demuxer.get(), "EXIF");
    // Some writers put a JPEG's "Exif\0\0" before the TIFF structure.
    if (facts.metadata.exif.startsWith(QByteArray("Exif\0\0", 6))) {
        facts.metadata.exif.remove(0, 6);
    }
    facts.metadata.xmp = Chunk(demuxer.get(), "XMP ");
    facts.metadata.icc = Chunk(demuxer.get(), "ICCP");
    return facts;
}

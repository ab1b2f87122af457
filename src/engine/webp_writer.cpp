// SPDX-License-Identifier: MIT
#include "engine/modern_writers.h"
#include "imageio/image_limits.h"
#include "imageio/vector_state.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <memory>
#include <utility>

namespace {

const QString kFormat = QStringLiteral("WebP");

// What libwebp 1.2 holds per pixel while it codes a picture, its output included
// (bench/encoder_memory.sh, photo-like pictures with strong grain: 7.5 lossy, 32.4
// lossless). libwebp codes a picture whole, so a copy whose encoder would not fit beside
// the picture (4 bytes a pixel) and the program within the picture limit and 300 MB is
// refused before any of it is taken: about 100 MP lossy, 33 MP lossless.
constexpr qint64 kLossyBytesPerPixel = 8;
constexpr qint64 kLosslessBytesPerPixel = 33;
constexpr qint64 kPictureBytesPerPixel = 4;
constexpr qint64 kCopyBudgetBytes = kImageAllocationLimitBytes + qint64(300 - 100) * 1024 * 1024;

QString EncodingErrorText(WebPEncodingError error) {
    switch (error) {
        case VP8_ENC_ERROR_OUT_OF_MEMORY:
        case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
            return QStringLiteral("out of memory");
        case VP8_ENC_ERROR_BAD_DIMENSION:
            return QStringLiteral("the picture is larger than 16383 pixels on a side");
        case VP8_ENC_ERROR_FILE_TOO_BIG:
            return QStringLiteral("the file would exceed 4 GB");
        default:
            return QStringLiteral("libwebp error %1").arg(int(error));
    }
}

// Frees what libwebp allocated for the picture and the encoded bytes.
struct Encoded {
    WebPPicture picture{};
    WebPMemoryWriter memory{};
    Encoded() { WebPMemoryWriterInit(&memory); }
    ~Encoded() {
        WebPPictureFree(&picture);
        WebPMemoryWriterClear(&memory);
    }
    Encoded(const Encoded&) = delete;
    Encoded& operator=(const Encoded&) = delete;
};

// Sets one option on the encoder's configuration; false for a name it does not know.
bool SetOption(WebPConfig& config, const QByteArray& name, int value) {
    static const std::pair<const char*, int WebPConfig::*> kFields[] = {
        {"method", &WebPConfig::method},
        {"segments", &WebPConfig::segments},
        {"filter_strength", &WebPConfig::filter_strength},
        {"filter_sharpness", &WebPConfig::filter_sharpness},
        {"filter_type", &WebPConfig::filter_type},
        {"autofilter", &WebPConfig::autofilter},
        {"sns_strength", &WebPConfig::sns_strength},
        {"pass", &WebPConfig::pass},
        {"preprocessing", &WebPConfig::preprocessing},
        {"partitions", &WebPConfig::partitions},
        {"use_sharp_yuv", &WebPConfig::use_sharp_yuv},
        {"thread_level", &WebPConfig::thread_level},
        {"exact", &WebPConfig::exact},
    };
    for (const auto& [key, field] : kFields) {
        if (name == key) {
            config.*field = value;
            return true;
        }
    }
    if (name == "lossless_quality") {
        if (config.lossless) {
            config.quality = float(value);
        }
        return true;
    }
    return false;
}

struct MuxDeleter {
    void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

// Adds a chunk that the mux copies.
void SetChunk(WebPMux* mux, const char* fourcc, const QByteArray& payload) {
    if (payload.isEmpty()) {
        return;
    }
    const WebPData data{reinterpret_cast<const uint8_t*>(payload.constData()),
                        size_t(payload.size())};
    if (WebPMuxSetChunk(mux, fourcc, &data, 1) != WEBP_MUX_OK) {
        RaiseEncoderFailure(kFormat, QStringLiteral("the %1 chunk cannot be added")
                                         .arg(QString::fromLatin1(fourcc).trimmed()));
    }
}

}  // namespace

EncoderOptions ChosenWebPOptions(bool lossless) {
    // Lossless: method 3 takes larger predictor blocks, 0.85 of the time at the same size on
    // photographs and drawings; method 2 costs 2 % on photographs, and a lower quality
    // (libwebp's effort for lossless coding) up to 20 % on drawings and screenshots, where
    // lossless copies are common.
    if (lossless) {
        return {{"method", 3}};
    }
    // Lossy: the default method 4 stays. Method 3 measured the same time, and method 2,
    // half the time, drops the rate-distortion choice of modes: 10 % more bytes for the same
    // quality, more than a copy should lose.
    return {};
}

void WriteWebP(const QImage& picture, int quality, const PictureFacts& facts, QIODevice& out) {
    WriteWebPWithOptions(picture, quality, facts, out, ChosenWebPOptions(facts.lossless));
}

void WriteWebPWithOptions(const QImage& picture, int quality, const PictureFacts& facts,
                          QIODevice& out, const EncoderOptions& options) {
    const qint64 perPixel =
        kPictureBytesPerPixel + (facts.lossless ? kLosslessBytesPerPixel : kLossyBytesPerPixel);
    if (qint64(picture.width()) * picture.height() * perPixel > kCopyBudgetBytes) {
        RaiseEncoderFailure(kFormat, QStringLiteral("the picture is too large to be encoded "
                                                    "in %1 MB (%2 x %3 pixels, %4)")
                                         .arg(kCopyBudgetBytes >> 20)
                                         .arg(picture.width())
                                         .arg(picture.height())
                                         .arg(facts.lossless ? QStringLiteral("lossless")
                                                             : QStringLiteral("lossy")));
    }
    WebPConfig config;
    if (!WebPConfigInit(&config)) {
        RaiseEncoderFailure(kFormat, QStringLiteral("libwebp cannot be set up"));
    }
    // A lossless picture has one quality; for it libwebp's quality is the effort.
    config.lossless = facts.lossless ? 1 : 0;
    if (!facts.lossless) {
        config.quality = float(quality);
    }
    for (const auto& [name, value] : options) {
        if (!SetOption(config, name, value)) {
            RaiseEncoderFailure(kFormat, QStringLiteral("unknown encoder option %1")
                                             .arg(QString::fromLatin1(name)));
        }
    }
    if (!WebPValidateConfig(&config)) {
        RaiseEncoderFailure(kFormat, QStringLiteral("the encoder's options are out of range"));
    }
    Encoded encoded;
    if (!WebPPictureInit(&encoded.picture)) {
        RaiseEncoderFailure(kFormat, QStringLiteral("libwebp cannot be set up"));
    }
    encoded.picture.width = picture.width();
    encoded.picture.height = picture.height();
    encoded.picture.use_argb = facts.lossless ? 1 : 0;
    encoded.picture.writer = WebPMemoryWrite;
    encoded.picture.custom_ptr = &encoded.memory;
    // Format_RGB32 holds B, G, R, X in memory on a little-endian machine.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const QImage& rows = picture;
    const int imported =
        WebPPictureImportBGRX(&encoded.picture, rows.constBits(), int(rows.bytesPerLine()));
#else
    const QImage rows = picture.convertToFormat(QImage::Format_RGBX8888);
    const int imported =
        WebPPictureImportRGBX(&encoded.picture, rows.constBits(), int(rows.bytesPerLine()));
#endif
    if (!imported) {
        RaiseEncoderFailure(kFormat, EncodingErrorText(encoded.picture.error_code));
    }
    ClearUpperVectorState();
    if (!WebPEncode(&config, &encoded.picture)) {
        RaiseEncoderFailure(kFormat, EncodingErrorText(encoded.picture.error_code));
    }
    const PhotoMetadata& metadata = facts.metadata;
    if (metadata.exif.isEmpty() && metadata.xmp.isEmpty() && metadata.icc.isEmpty()) {
        out.write(reinterpret_cast<const char*>(encoded.memory.mem), qint64(encoded.memory.size));
        return;
    }
    // The extended format: the mux adds the header that announces the chunks.
    const std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxNew());
    const WebPData bitstream{encoded.memory.mem, encoded.memory.size};
    if (!mux || WebPMuxSetImage(mux.get(), &bitstream, 0) != WEBP_MUX_OK) {
        RaiseEncoderFailure(kFormat, QStringLiteral("the picture cannot be put into its file"));
    }
    SetChunk(mux.get(), "ICCP", metadata.icc);
    SetChunk(mux.get(), "EXIF", metadata.exif);
    SetChunk(mux.get(), "XMP ", metadata.xmp);
    WebPData file{};
    if (WebPMuxAssemble(mux.get(), &file) != WEBP_MUX_OK) {
        RaiseEncoderFailure(kFormat, QStringLiteral("the file cannot be assembled"));
    }
    out.write(reinterpret_cast<const char*>(file.bytes), qint64(file.size));
    WebPDataClear(&file);
}

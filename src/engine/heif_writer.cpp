// SPDX-License-Identifier: MIT
#include "engine/heif_encoder_settings.h"
#include "engine/modern_writers.h"
#include "imageio/heif_planes.h"
#include "imageio/libheif_session.h"
#include "imageio/vector_state.h"

#include <memory>

namespace {

struct EncoderDeleter {
    void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
};

struct OptionsDeleter {
    void operator()(heif_encoding_options* options) const { heif_encoding_options_free(options); }
};

struct NclxDeleter {
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};

// Where libheif's writer puts the file's bytes.
struct Sink {
    QIODevice* out;
    bool failed = false;
};

heif_error WriteToSink(heif_context*, const void* data, size_t size, void* userdata) {
    auto* sink = static_cast<Sink*>(userdata);
    if (sink->out->write(static_cast<const char*>(data), qint64(size)) != qint64(size)) {
        sink->failed = true;
        return {heif_error_Encoding_error, heif_suberror_Cannot_write_output_data,
                "the file could not be written"};
    }
    return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

// The picture as libheif's interleaved 8-bit RGB image.
void FillImage(const QImage& picture, heif_image* image) {
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < picture.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        uint8_t* out = plane + qsizetype(y) * stride;
        for (int x = 0; x < picture.width(); ++x, out += 3) {
            out[0] = uint8_t(qRed(in[x]));
            out[1] = uint8_t(qGreen(in[x]));
            out[2] = uint8_t(qBlue(in[x]));
        }
    }
}

}  // namespace

void WriteHeif(const QImage& picture, int quality, const PictureFacts& facts, QIODevice& out) {
    CheckHeifCopyFits(facts.av1, picture.width(), picture.height());
    WriteHeifWithParameters(picture, quality, facts, out, ChosenHeifParameters(facts.av1, quality));
}

namespace {

QString FormatName(const PictureFacts& facts) {
    return facts.av1 ? QStringLiteral("AVIF") : QStringLiteral("HEIC");
}

// Raises the encoder failure of the copy's format for a libheif error.
struct Check {
    QString format;
    void operator()(const heif_error& error) const {
        if (error.code != heif_error_Ok) {
            RaiseEncoderFailure(format, QString::fromUtf8(error.message));
        }
    }
};

// Encodes `image` (with its colour description set) with the chosen encoder and writes
// the file, with the metadata of `facts`.
void Encode(heif_image* image, int quality, const PictureFacts& facts, QIODevice& out,
            const HeifEncoderParameters& parameters) {
    const Check check{FormatName(facts)};
    const HeifContext context;
    heif_encoder* rawEncoder = nullptr;
    check(heif_context_get_encoder_for_format(
        context.get(), facts.av1 ? heif_compression_AV1 : heif_compression_HEVC, &rawEncoder));
    const std::unique_ptr<heif_encoder, EncoderDeleter> encoder(rawEncoder);
    check(heif_encoder_set_lossy_quality(encoder.get(), quality));
    for (const auto& [name, value] : parameters) {
        check(heif_encoder_set_parameter(encoder.get(), name.constData(), value.constData()));
    }
    // The defaults write no irot or imir: the picture is stored upright.
    const std::unique_ptr<heif_encoding_options, OptionsDeleter> options(
        heif_encoding_options_alloc());
    HeifHandle handle;
    ClearUpperVectorState();
    check(heif_context_encode_image(context.get(), image, encoder.get(), options.get(),
                                    handle.out()));
    if (!facts.metadata.exif.isEmpty()) {
        check(heif_context_add_exif_metadata(context.get(), handle.get(),
                                             facts.metadata.exif.constData(),
                                             int(facts.metadata.exif.size())));
    }
    if (!facts.metadata.xmp.isEmpty()) {
        check(heif_context_add_XMP_metadata(context.get(), handle.get(),
                                            facts.metadata.xmp.constData(),
                                            int(facts.metadata.xmp.size())));
    }
    Sink sink{&out};
    heif_writer writer{1, WriteToSink};
    const heif_error written = heif_context_write(context.get(), &writer, &sink);
    if (!sink.failed) {
        check(written);
    }
}

}  // namespace

void WriteHeifWithParameters(const QImage& picture, int quality, const PictureFacts& facts,
                             QIODevice& out, const HeifEncoderParameters& parameters) {
    const Check check{FormatName(facts)};
    EnsureLibheif();
    HeifImage image;
    check(heif_image_create(picture.width(), picture.height(), heif_colorspace_RGB,
                            heif_chroma_interleaved_RGB, image.out()));
    check(heif_image_add_plane(image.get(), heif_channel_interleaved, picture.width(),
                               picture.height(), 8));
    FillImage(picture, image.get());
    if (!facts.metadata.icc.isEmpty()) {
        check(heif_image_set_raw_color_profile(image.get(), "prof", facts.metadata.icc.constData(),
                                               size_t(facts.metadata.icc.size())));
    } else if (facts.colourPrimaries != 0) {
        // Colours the source named by code points (a wide-gamut phone picture, say) keep
        // their names; how they are coded as YCbCr is the encoder's choice.
        const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(
            heif_nclx_color_profile_alloc());
        check(heif_nclx_color_profile_set_color_primaries(nclx.get(),
                                                          uint16_t(facts.colourPrimaries)));
        check(heif_nclx_color_profile_set_transfer_characteristics(
            nclx.get(), uint16_t(facts.transferCharacteristics)));
        check(heif_image_set_nclx_color_profile(image.get(), nclx.get()));
    }
    Encode(image.get(), quality, facts, out, parameters);
}

void WriteHeifPlanes(const HeifPlanes& planes, int quality, const PictureFacts& facts,
                     QIODevice& out) {
    CheckHeifCopyFits(facts.av1, planes.width, planes.height);
    const Check check{FormatName(facts)};
    EnsureLibheif();
    // The planes go to the encoder as they stand, in their own chroma; the encoder's
    // chroma, when it differs, is libheif's to make from them. The file's own description
    // goes back on, so a viewer reads the samples as the source's were read.
    if (planes.description) {
        const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(
            heif_nclx_color_profile_alloc());
        nclx->matrix_coefficients =
            heif_matrix_coefficients(planes.description->matrixCoefficients);
        nclx->full_range_flag = planes.description->fullRange ? 1 : 0;
        check(heif_nclx_color_profile_set_color_primaries(
            nclx.get(), uint16_t(planes.description->colourPrimaries)));
        check(heif_nclx_color_profile_set_transfer_characteristics(
            nclx.get(), uint16_t(planes.description->transferCharacteristics)));
        check(heif_image_set_nclx_color_profile(planes.image.get(), nclx.get()));
    }
    Encode(planes.image.get(), quality, facts, out, ChosenHeifParameters(facts.av1, quality));
}

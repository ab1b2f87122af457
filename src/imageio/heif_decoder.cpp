// SPDX-License-Identifier: MIT
#include "imageio/heif_decoder.h"

#include "imageio/exif_box.h"
#include "imageio/heif_boxes.h"
#include "imageio/heif_declared_size.h"
#include "imageio/libheif_session.h"
#include "imageio/modern_format.h"
#include "imageio/vector_state.h"

#include <algorithm>
#include <vector>

namespace {

// libheif's own bound on a side.
constexpr qint64 kLargestSide = 32768;

QString Text(const heif_error& error) {
    return QString::fromUtf8(error.message);
}

bool IsLimit(const heif_error& error) {
    return error.code == heif_error_Memory_allocation_error ||
           error.subcode == heif_suberror_Security_limit_exceeded;
}

DecodedPicture Failed(const heif_error& error) {
    DecodedPicture result;
    result.failure = Text(error);
    result.tooLarge = IsLimit(error);
    result.damaged = !result.tooLarge;
    return result;
}

// Copies libheif's interleaved RGB or RGBA rows into a Format_RGB32 or Format_ARGB32
// picture; a null picture when it cannot be allocated.
QImage ToQImage(const heif_image* image, bool alpha) {
    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    if (plane == nullptr || width <= 0 || height <= 0) {
        return {};
    }
    QImage picture(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (picture.isNull()) {
        return {};
    }
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = plane + qsizetype(y) * stride;
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x, in += channels) {
            out[x] = qRgba(in[0], in[1], in[2], alpha ? in[3] : 255);
        }
    }
    return picture;
}

// Reads the file's boxes and takes its primary picture's handle, held to `byteLimit` as
// DecodeHeif says; a picture with a failure set when that cannot be done.
DecodedPicture OpenPrimary(const HeifContext& context, HeifHandle& handle, const QByteArray& data,
                           qint64 byteLimit) {
    DecodedPicture result;
    // libheif refuses a side beyond this while it reads the boxes, before any picture
    // memory is taken: its own default, or less when no picture one pixel high and that
    // long would fit the limit.
    heif_context_set_maximum_image_size_limit(
        context.get(),
        int(byteLimit > 0 ? std::min(kLargestSide, byteLimit / (4 + kHeifExtraBytesPerPixel))
                          : kLargestSide));
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                                  size_t(data.size()), nullptr);
    if (error.code != heif_error_Ok) {
        return Failed(error);
    }
    error = heif_context_get_primary_image_handle(context.get(), handle.out());
    if (error.code != heif_error_Ok) {
        return Failed(error);
    }
    const qint64 width = heif_image_handle_get_width(handle.get());
    const qint64 height = heif_image_handle_get_height(handle.get());
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
    if (width <= 0 || height <= 0) {
        result.damaged = true;
        result.failure = QStringLiteral("the picture has no size");
        return result;
    }
    if (!FitsByteLimit(width, height, deep ? kHeifExtraBytesPerDeepPixel : kHeifExtraBytesPerPixel,
                       byteLimit)) {
        result.tooLarge = true;
        result.failure = QStringLiteral("%1 x %2 pixels").arg(width).arg(height);
        return result;
    }
    // The HEVC and AV1 decoders allocate by their streams' own headers, unbounded.
    if (DecodedPicture streams = CheckHeifStreams(data, byteLimit);
        streams.tooLarge || streams.damaged) {
        return streams;
    }
    return result;
}

// The byte of a coded picture's configuration (hvcC or av1C) that names its chroma; for
// a grid, its tiles' one byte when they all agree.
std::optional<uchar> ChromaByte(const HeifItems& items, const QByteArray& data, quint32 item,
                                bool inGrid) {
    const QByteArray type = items.types.value(item);
    if (type == "grid" && !inGrid) {
        std::optional<uchar> shared;
        for (const quint32 tile : items.pictures.value(item)) {
            const std::optional<uchar> byte = ChromaByte(items, data, tile, true);
            if (!byte || (shared && *shared != *byte) ||
                items.types.value(tile) != items.types.value(items.pictures.value(item).first())) {
                return std::nullopt;
            }
            shared = byte;
        }
        return shared;
    }
    const bool hevc = type == "hvc1";
    if (!hevc && type != "av01") {
        return std::nullopt;
    }
    const std::optional<HeifItems::Span> config = items.PropertyOf(item, hevc ? "hvcC" : "av1C");
    const qint64 at = hevc ? 16 : 2;
    if (!config || config->size <= at || config->offset < 0 ||
        config->offset + config->size > data.size()) {
        return std::nullopt;
    }
    return uchar(data[qsizetype(config->offset + at)]);
}

// The chroma of the primary picture as its coded streams' configuration names it: a single
// HEVC or AV1 picture, or a grid of them, at 4:2:0 or 4:4:4. Nothing for anything else (an
// overlay, 4:2:2, greyscale), which the planes do not take.
std::optional<heif_chroma> CodedChroma(const QByteArray& data) {
    const std::optional<HeifItems> items = ReadHeifItems(data);
    if (!items) {
        return std::nullopt;
    }
    const std::optional<uchar> byte = ChromaByte(*items, data, items->primary, false);
    if (!byte) {
        return std::nullopt;
    }
    QByteArray type = items->types.value(items->primary);
    if (type == "grid") {
        type = items->types.value(items->pictures.value(items->primary).first());
    }
    if (type == "hvc1") {
        // chroma_format_idc: 1 is 4:2:0, 3 is 4:4:4.
        switch (*byte & 3) {
            case 1:
                return heif_chroma_420;
            case 3:
                return heif_chroma_444;
            default:
                return std::nullopt;
        }
    }
    // monochrome, subsampling_x, subsampling_y.
    switch ((*byte >> 2) & 7) {
        case 3:
            return heif_chroma_420;
        case 0:
            return heif_chroma_444;
        default:
            return std::nullopt;
    }
}

}  // namespace

DecodedPicture DecodeHeif(const QByteArray& data, qint64 byteLimit) {
    EnsureLibheif();
    const HeifContext context;
    HeifHandle handle;
    DecodedPicture result = OpenPrimary(context, handle, data, byteLimit);
    if (result.tooLarge || result.damaged) {
        return result;
    }
    const qint64 width = heif_image_handle_get_width(handle.get());
    const qint64 height = heif_image_handle_get_height(handle.get());
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const HeifDecodingOptions options;
    HeifImage image;
    ClearUpperVectorState();
    const heif_error error = heif_decode_image(
        handle.get(), image.out(), heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    if (error.code != heif_error_Ok) {
        return Failed(error);
    }
    result.image = ToQImage(image.get(), alpha);
    if (result.image.isNull()) {
        result.tooLarge = true;
        result.failure = QStringLiteral("%1 x %2 pixels").arg(width).arg(height);
    }
    return result;
}

std::optional<HeifPlanes> DecodeHeifPlanes(const QByteArray& data, qint64 byteLimit) {
    const std::optional<heif_chroma> chroma = CodedChroma(data);
    if (!chroma) {
        return std::nullopt;
    }
    EnsureLibheif();
    const HeifContext context;
    HeifHandle handle;
    if (const DecodedPicture opened = OpenPrimary(context, handle, data, byteLimit);
        opened.tooLarge || opened.damaged) {
        return std::nullopt;
    }
    // Alpha, deeper samples and colour an ICC profile defines keep the RGB road.
    if (heif_image_handle_has_alpha_channel(handle.get()) != 0 ||
        heif_image_handle_get_luma_bits_per_pixel(handle.get()) != 8 ||
        heif_image_handle_get_chroma_bits_per_pixel(handle.get()) != 8 ||
        heif_image_handle_get_raw_color_profile_size(handle.get()) > 0) {
        return std::nullopt;
    }
    HeifPlanes planes;
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle.get(), &nclx).code == heif_error_Ok &&
        nclx != nullptr) {
        HeifColourDescription description;
        description.matrixCoefficients = int(nclx->matrix_coefficients);
        description.colourPrimaries = int(nclx->color_primaries);
        description.transferCharacteristics = int(nclx->transfer_characteristics);
        description.fullRange = nclx->full_range_flag != 0;
        heif_nclx_color_profile_free(nclx);
        const std::optional<YcbcrCoding> coding = CodingOfDescription(description);
        if (!coding || !WrittenAsTheyStand(description)) {
            return std::nullopt;
        }
        planes.coding = *coding;
        planes.description = description;
    }
    const HeifDecodingOptions options;
    heif_image* decoded = nullptr;
    ClearUpperVectorState();
    if (heif_decode_image(handle.get(), &decoded, heif_colorspace_YCbCr, *chroma, options.get())
                .code != heif_error_Ok ||
        decoded == nullptr) {
        return std::nullopt;
    }
    planes.image.reset(decoded, heif_image_release);
    if (heif_image_get_colorspace(decoded) != heif_colorspace_YCbCr ||
        heif_image_get_chroma_format(decoded) != *chroma) {
        return std::nullopt;
    }
    for (const heif_channel channel : {heif_channel_Y, heif_channel_Cb, heif_channel_Cr}) {
        int stride = 0;
        if (heif_image_get_bits_per_pixel(decoded, channel) != 8 ||
            heif_image_get_plane(decoded, channel, &stride) == nullptr) {
            return std::nullopt;
        }
    }
    planes.width = heif_image_get_width(decoded, heif_channel_Y);
    planes.height = heif_image_get_height(decoded, heif_channel_Y);
    planes.chromaAcross = *chroma == heif_chroma_420 ? 2 : 1;
    planes.chromaDown = planes.chromaAcross;
    const int chromaWidth = heif_image_get_width(decoded, heif_channel_Cb);
    const int chromaHeight = heif_image_get_height(decoded, heif_channel_Cb);
    if (planes.width <= 0 || planes.height <= 0 ||
        chromaWidth != (planes.width + planes.chromaAcross - 1) / planes.chromaAcross ||
        chromaHeight != (planes.height + planes.chromaDown - 1) / planes.chromaDown ||
        heif_image_get_width(decoded, heif_channel_Cr) != chromaWidth ||
        heif_image_get_height(decoded, heif_channel_Cr) != chromaHeight) {
        return std::nullopt;
    }
    return planes;
}

PictureFacts ReadHeifFacts(const QByteArray& data) {
    PictureFacts facts;
    facts.av1 = HoldsAv1(data);
    EnsureLibheif();
    const HeifContext context;
    HeifHandle handle;
    if (heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                   size_t(data.size()), nullptr)
                .code != heif_error_Ok ||
        heif_context_get_primary_image_handle(context.get(), handle.out()).code != heif_error_Ok) {
        return facts;
    }
    const int count = heif_image_handle_get_number_of_metadata_blocks(handle.get(), nullptr);
    std::vector<heif_item_id> ids(size_t(std::max(count, 0)));
    heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), nullptr, ids.data(), count);
    for (const heif_item_id id : ids) {
        const size_t size = heif_image_handle_get_metadata_size(handle.get(), id);
        // Every block is stored in the file: a larger size is a lie.
        if (size == 0 || size > size_t(data.size())) {
            continue;
        }
        QByteArray block(qsizetype(size), Qt::Uninitialized);
        if (heif_image_handle_get_metadata(handle.get(), id, block.data()).code != heif_error_Ok) {
            continue;
        }
        const QByteArray type = heif_image_handle_get_metadata_type(handle.get(), id);
        const QByteArray contentType =
            heif_image_handle_get_metadata_content_type(handle.get(), id);
        if (type == "Exif" && facts.metadata.exif.isEmpty()) {
            facts.metadata.exif = TiffOfExifBox(block);
        } else if (type == "mime" && contentType == "application/rdf+xml" &&
                   facts.metadata.xmp.isEmpty()) {
            facts.metadata.xmp = block;
        }
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle.get(), &nclx).code == heif_error_Ok &&
        nclx != nullptr) {
        facts.colourPrimaries = int(nclx->color_primaries);
        facts.transferCharacteristics = int(nclx->transfer_characteristics);
        heif_nclx_color_profile_free(nclx);
    }
    const size_t profileSize = heif_image_handle_get_raw_color_profile_size(handle.get());
    if (profileSize > 0 && profileSize <= size_t(data.size())) {
        QByteArray profile(qsizetype(profileSize), Qt::Uninitialized);
        if (heif_image_handle_get_raw_color_profile(handle.get(), profile.data()).code ==
            heif_error_Ok) {
            facts.metadata.icc = profile;
        }
    }
    return facts;
}

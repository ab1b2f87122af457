// SPDX-License-Identifier: MIT
#include "imageio/jxl_decoder.h"

#include "imageio/exif_box.h"
#include "imageio/vector_state.h"

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <algorithm>

namespace {

// Beside the 4 bytes a pixel of the result: libjxl decodes through planes of floats,
// three colours and their working copies.
constexpr qint64 kExtraBytesPerPixel = 24;
// Each extra channel (alpha, depth, spot colours...) is a plane of its own.
constexpr qint64 kExtraBytesPerChannelPixel = 8;
// A metadata box unpacked from its Brotli compression may grow beyond the file; no
// camera writes one near this size.
constexpr qsizetype kLargestBox = 64 * 1024 * 1024;
constexpr qsizetype kFirstBoxBuffer = 64 * 1024;

const uint8_t* Bytes(const QByteArray& data) {
    return reinterpret_cast<const uint8_t*>(data.constData());
}

DecodedPicture Damaged(const QString& why) {
    DecodedPicture result;
    result.damaged = true;
    result.failure = why;
    return result;
}

// Orientations 5 to 8 exchange the sides.
bool SidesExchanged(uint32_t orientation) {
    return orientation >= 5 && orientation <= 8;
}

// A lossy picture with an ICC profile of its own would otherwise come out in linear
// sRGB, whose 8 bits band in the shadows: gamma-coded sRGB keeps them. Pictures whose
// colours are named in the codestream, and lossless ones, still come out in their own.
void PreferGammaCodedSrgb(JxlDecoder* decoder) {
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    JxlDecoderSetPreferredColorProfile(decoder, &srgb);
}

// True when the decoded pixels are plain sRGB, which a copy names instead of carrying a
// profile: libjxl codes a picture with an ICC profile through a colour transform of
// every pixel, at half again the time and memory, into a larger file.
bool IsSrgb(const JxlDecoder* decoder) {
    JxlColorEncoding encoding;
    return JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                              &encoding) == JXL_DEC_SUCCESS &&
           encoding.color_space == JXL_COLOR_SPACE_RGB &&
           encoding.white_point == JXL_WHITE_POINT_D65 &&
           encoding.primaries == JXL_PRIMARIES_SRGB &&
           encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// Collects one metadata box at a time into a growing buffer.
class BoxCollector {
public:
    explicit BoxCollector(JxlDecoder* decoder) : decoder_(decoder) {}

    void Start(QByteArray* target) {
        target_ = target;
        buffer_ = QByteArray(kFirstBoxBuffer, Qt::Uninitialized);
        JxlDecoderSetBoxBuffer(decoder_, reinterpret_cast<uint8_t*>(buffer_.data()),
                               size_t(buffer_.size()));
    }
    // Returns false when the box would exceed the largest size kept.
    bool Grow() {
        const size_t left = JxlDecoderReleaseBoxBuffer(decoder_);
        const qsizetype used = buffer_.size() - qsizetype(left);
        if (buffer_.size() * 2 > kLargestBox) {
            target_ = nullptr;
            return false;
        }
        buffer_.resize(buffer_.size() * 2);
        JxlDecoderSetBoxBuffer(decoder_, reinterpret_cast<uint8_t*>(buffer_.data()) + used,
                               size_t(buffer_.size() - used));
        return true;
    }
    void Finish() {
        if (target_ == nullptr) {
            return;
        }
        const size_t left = JxlDecoderReleaseBoxBuffer(decoder_);
        buffer_.truncate(buffer_.size() - qsizetype(left));
        *target_ = std::move(buffer_);
        target_ = nullptr;
    }

private:
    JxlDecoder* decoder_;
    QByteArray* target_ = nullptr;
    QByteArray buffer_;
};

// The picture's size as the copy shows it, and whether it fits the byte limit.
struct SizeVerdict {
    qint64 width;
    qint64 height;
    bool fits;
};
SizeVerdict JudgeSize(const JxlBasicInfo& info, qint64 byteLimit) {
    const bool exchanged = SidesExchanged(info.orientation);
    const qint64 width = exchanged ? info.ysize : info.xsize;
    const qint64 height = exchanged ? info.xsize : info.ysize;
    return {width, height,
            FitsByteLimit(width, height,
                          kExtraBytesPerPixel +
                              qint64(info.num_extra_channels) * kExtraBytesPerChannelPixel,
                          byteLimit)};
}

DecodedPicture TooLarge(qint64 width, qint64 height) {
    DecodedPicture result;
    result.tooLarge = true;
    result.failure = QStringLiteral("%1 x %2 pixels").arg(width).arg(height);
    return result;
}

// The work a file may ask for to make its first shown frame, in decoded layer pixels: a
// few times its canvas, and more only as the file's bytes pay for them. A photo is one
// layer; a file of hundreds of cheaply coded full-size layers is refused instead of being
// blended for minutes.
constexpr qint64 kCanvasesFreely = 4;
constexpr qint64 kLayerPixelsPerByte = 16;
// Every layer costs its header and a blend however small it is.
constexpr qint64 kLayersFreely = 16;
constexpr qint64 kBytesPerLayer = 256;

// Why the layers of the first shown frame ask for more work or memory than the file
// justifies, read from their headers alone (the decoder skips their contents); empty when
// they do not, or when the headers cannot be read (the decode itself then says why).
QString LayerProblem(const QByteArray& data, qint64 byteLimit) {
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    if (!decoder ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FRAME) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetCoalescing(decoder.get(), JXL_FALSE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), Bytes(data), size_t(data.size())) != JXL_DEC_SUCCESS) {
        return {};
    }
    JxlDecoderCloseInput(decoder.get());
    JxlBasicInfo info{};
    qint64 allowedPixels = 0;
    const qint64 allowedLayers = kLayersFreely + data.size() / kBytesPerLayer;
    qint64 layers = 0;
    qint64 pixels = 0;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_BASIC_INFO) {
            // A canvas beyond the limit is named as such by the decode itself.
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS ||
                !FitsByteLimit(info.xsize, info.ysize, kExtraBytesPerPixel, byteLimit)) {
                return {};
            }
            allowedPixels = kCanvasesFreely * qint64(info.xsize) * qint64(info.ysize) +
                            kLayerPixelsPerByte * qint64(data.size());
        } else if (status == JXL_DEC_FRAME) {
            JxlFrameHeader header{};
            if (JxlDecoderGetFrameHeader(decoder.get(), &header) != JXL_DEC_SUCCESS) {
                return {};
            }
            const qint64 width = header.layer_info.xsize;
            const qint64 height = header.layer_info.ysize;
            // A layer is decoded whole, wherever it lies against the canvas.
            if (!FitsByteLimit(width, height, kExtraBytesPerPixel, byteLimit)) {
                return QStringLiteral("a layer of %1 x %2 pixels").arg(width).arg(height);
            }
            ++layers;
            pixels += width * height;
            if (layers > allowedLayers || pixels > allowedPixels) {
                return QStringLiteral("its first picture is made of more layers than a file "
                                      "of %1 bytes justifies")
                    .arg(data.size());
            }
            if (header.is_last || (info.have_animation && header.duration > 0)) {
                return {};
            }
        } else {
            return {};
        }
    }
}

}  // namespace

DecodedPicture DecodeJxl(const QByteArray& data, qint64 byteLimit) {
    if (const QString problem = LayerProblem(data, byteLimit); !problem.isEmpty()) {
        DecodedPicture result;
        result.tooLarge = true;
        result.failure = problem;
        return result;
    }
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    const JxlThreadParallelRunnerPtr runner =
        JxlThreadParallelRunnerMake(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads());
    if (!decoder || !runner ||
        JxlDecoderSetParallelRunner(decoder.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                     JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), Bytes(data), size_t(data.size())) != JXL_DEC_SUCCESS) {
        return Damaged(QStringLiteral("libjxl cannot be set up"));
    }
    JxlDecoderCloseInput(decoder.get());
    ClearUpperVectorState();
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    QImage picture;
    bool alpha = false;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_ERROR) {
            return Damaged(QStringLiteral("the codestream is damaged"));
        }
        if (status == JXL_DEC_NEED_MORE_INPUT) {
            return Damaged(QStringLiteral("the data ends early"));
        }
        if (status == JXL_DEC_BASIC_INFO) {
            JxlBasicInfo info;
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) {
                return Damaged(QStringLiteral("the header is damaged"));
            }
            const SizeVerdict size = JudgeSize(info, byteLimit);
            alpha = info.alpha_bits > 0;
            picture = size.fits ? QImage(int(size.width), int(size.height),
                                         alpha ? QImage::Format_RGBA8888
                                               : QImage::Format_RGBX8888)
                                : QImage();
            if (picture.isNull()) {
                return TooLarge(size.width, size.height);
            }
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            PreferGammaCodedSrgb(decoder.get());
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            size_t size = 0;
            if (picture.isNull() ||
                JxlDecoderImageOutBufferSize(decoder.get(), &format, &size) != JXL_DEC_SUCCESS ||
                size != size_t(picture.sizeInBytes()) ||
                JxlDecoderSetImageOutBuffer(decoder.get(), &format, picture.bits(), size) !=
                    JXL_DEC_SUCCESS) {
                return Damaged(QStringLiteral("the frame does not match the header"));
            }
        } else if (status == JXL_DEC_FULL_IMAGE) {
            // The first frame is the picture; an animation's others are not decoded.
            break;
        } else if (status == JXL_DEC_SUCCESS) {
            return Damaged(QStringLiteral("the file holds no frame"));
        }
    }
    // The same bytes in the program's own order, converted in place.
    picture.convertTo(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    DecodedPicture result;
    result.image = std::move(picture);
    return result;
}

DecodedPicture CheckJxlSize(const QByteArray& head, qint64 byteLimit) {
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    JxlBasicInfo info;
    if (!decoder ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), Bytes(head), size_t(head.size())) != JXL_DEC_SUCCESS ||
        JxlDecoderProcessInput(decoder.get()) != JXL_DEC_BASIC_INFO ||
        JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) {
        return {};
    }
    const SizeVerdict size = JudgeSize(info, byteLimit);
    return size.fits ? DecodedPicture() : TooLarge(size.width, size.height);
}

PictureFacts ReadJxlFacts(const QByteArray& data) {
    PictureFacts facts;
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    if (!decoder ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_COLOR_ENCODING | JXL_DEC_BOX) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetDecompressBoxes(decoder.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), Bytes(data), size_t(data.size())) != JXL_DEC_SUCCESS) {
        return facts;
    }
    JxlDecoderCloseInput(decoder.get());
    BoxCollector boxes(decoder.get());
    QByteArray exifBox;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_ERROR || status == JXL_DEC_NEED_MORE_INPUT ||
            status == JXL_DEC_SUCCESS) {
            boxes.Finish();
            break;
        }
        if (status == JXL_DEC_COLOR_ENCODING) {
            PreferGammaCodedSrgb(decoder.get());
            size_t size = 0;
            if (JxlDecoderGetICCProfileSize(decoder.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                            &size) == JXL_DEC_SUCCESS &&
                size > 0 && size <= size_t(kLargestBox)) {
                QByteArray profile(qsizetype(size), Qt::Uninitialized);
                if (JxlDecoderGetColorAsICCProfile(
                        decoder.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                        reinterpret_cast<uint8_t*>(profile.data()), size) == JXL_DEC_SUCCESS &&
                    !IsSrgb(decoder.get())) {
                    facts.metadata.icc = profile;
                }
            }
        } else if (status == JXL_DEC_BOX) {
            boxes.Finish();
            JxlBoxType type;
            if (JxlDecoderGetBoxType(decoder.get(), type, JXL_TRUE) != JXL_DEC_SUCCESS) {
                continue;
            }
            const QByteArray name(type, 4);
            if (name == "Exif" && exifBox.isEmpty()) {
                boxes.Start(&exifBox);
            } else if (name == "xml " && facts.metadata.xmp.isEmpty()) {
                boxes.Start(&facts.metadata.xmp);
            }
        } else if (status == JXL_DEC_BOX_NEED_MORE_OUTPUT) {
            if (!boxes.Grow()) {
                break;
            }
        }
    }
    facts.metadata.exif = TiffOfExifBox(exifBox);
    return facts;
}

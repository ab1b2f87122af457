// SPDX-License-Identifier: MIT
#include "imageio/exif_box.h"
#include "engine/modern_writers.h"
#include "imageio/vector_state.h"

#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <cmath>
#include <vector>

namespace {

const QString kFormat = QStringLiteral("JPEG XL");
constexpr size_t kOutputChunk = 1024 * 1024;

void Check(JxlEncoderStatus status, const char* step) {
    if (status != JXL_ENC_SUCCESS) {
        RaiseEncoderFailure(kFormat, QString::fromLatin1(step));
    }
}

void AddBox(JxlEncoder* encoder, const char* type, const QByteArray& contents) {
    Check(JxlEncoderAddBox(encoder, type, reinterpret_cast<const uint8_t*>(contents.constData()),
                           size_t(contents.size()), JXL_FALSE),
          "a metadata box cannot be added");
}

}  // namespace

double JxlDistanceForQuality(int quality) {
    if (quality >= 100) {
        return 0.0;
    }
    return quality >= 30 ? 0.1 + (100 - quality) * 0.09
                         : 6.4 + std::pow(2.5, (30 - quality) / 5.0) / 6.25;
}

void WriteJxl(const QImage& picture, int quality, const PictureFacts& facts, QIODevice& out) {
    const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    const JxlThreadParallelRunnerPtr runner =
        JxlThreadParallelRunnerMake(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads());
    if (!encoder || !runner) {
        RaiseEncoderFailure(kFormat, QStringLiteral("libjxl cannot be set up"));
    }
    Check(JxlEncoderSetParallelRunner(encoder.get(), JxlThreadParallelRunner, runner.get()),
          "libjxl cannot be set up");
    const double distance = JxlDistanceForQuality(quality);
    const bool lossless = distance == 0.0;

    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(picture.width());
    info.ysize = uint32_t(picture.height());
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
    Check(JxlEncoderSetBasicInfo(encoder.get(), &info), "the picture's size cannot be set");
    // A profile libjxl cannot parse leaves the picture as sRGB, as any viewer would show it.
    const QByteArray& icc = facts.metadata.icc;
    if (icc.isEmpty() ||
        JxlEncoderSetICCProfile(encoder.get(), reinterpret_cast<const uint8_t*>(icc.constData()),
                                size_t(icc.size())) != JXL_ENC_SUCCESS) {
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
        Check(JxlEncoderSetColorEncoding(encoder.get(), &srgb), "the colours cannot be set");
    }
    if (!facts.metadata.exif.isEmpty() || !facts.metadata.xmp.isEmpty()) {
        Check(JxlEncoderUseBoxes(encoder.get()), "metadata boxes cannot be written");
        if (!facts.metadata.exif.isEmpty()) {
            AddBox(encoder.get(), "Exif", ExifBoxOfTiff(facts.metadata.exif));
        }
        if (!facts.metadata.xmp.isEmpty()) {
            AddBox(encoder.get(), "xml ", facts.metadata.xmp);
        }
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    if (lossless) {
        Check(JxlEncoderSetFrameLossless(settings, JXL_TRUE), "lossless coding cannot be set");
    } else {
        Check(JxlEncoderSetFrameDistance(settings, float(distance)), "the quality cannot be set");
    }
    const QImage rows = picture.convertToFormat(QImage::Format_RGB888);
    if (rows.isNull()) {
        RaiseEncoderFailure(kFormat, QStringLiteral("out of memory"));
    }
    // Rows of Format_RGB888 start on 4-byte boundaries: the stride is the alignment.
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, size_t(rows.bytesPerLine())};
    Check(JxlEncoderAddImageFrame(settings, &format, rows.constBits(), size_t(rows.sizeInBytes())),
          "the picture cannot be encoded");
    JxlEncoderCloseInput(encoder.get());
    ClearUpperVectorState();

    std::vector<uint8_t> chunk(kOutputChunk);
    for (;;) {
        uint8_t* next = chunk.data();
        size_t left = chunk.size();
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder.get(), &next, &left);
        const qint64 produced = qint64(chunk.size() - left);
        if (produced > 0 &&
            out.write(reinterpret_cast<const char*>(chunk.data()), produced) != produced) {
            return;
        }
        if (status == JXL_ENC_SUCCESS) {
            return;
        }
        if (status != JXL_ENC_NEED_MORE_OUTPUT) {
            RaiseEncoderFailure(kFormat, QStringLiteral("the picture cannot be encoded"));
        }
    }
}

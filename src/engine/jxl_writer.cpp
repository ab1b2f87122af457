// SPDX-License-Identifier: MIT
#include "imageio/exif_box.h"
#include "engine/modern_writers.h"
#include "imageio/vector_state.h"

#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

const QString kFormat = QStringLiteral("JPEG XL");
constexpr size_t kOutputChunk = 1024 * 1024;

// What libjxl 0.7 holds per pixel of a frame while it codes it, the copy of its input
// included (bench/encoder_memory.sh, photo-like pictures: 47.7 lossy at effort 7, 46.5 at
// the writer's effort 6; 67.1 lossless), whatever the number of threads.
constexpr qint64 kLossyBytesPerPixel = 48;
constexpr qint64 kLosslessBytesPerPixel = 68;
// The most the encoder may hold. Beside it a copy holds the picture (a JPEG XL source
// decodes to at most about 38 MP: 150 MB, twice over while it is stamped), the program
// and the band being handed over: well within the picture limit and 300 MB. Pictures of
// up to 13 MP (9 MP lossless) are coded whole, as they always were.
constexpr qint64 kEncoderBudgetBytes = qint64(640) * 1024 * 1024;
// The rows of a group, the unit libjxl codes a frame in.
constexpr qint64 kGroupRows = 256;

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

// Hands `picture` to the encoder as the next frame; libjxl copies it.
void AddFrame(JxlEncoderFrameSettings* settings, const QImage& picture) {
    const QImage rows = picture.convertToFormat(QImage::Format_RGB888);
    if (rows.isNull()) {
        RaiseEncoderFailure(kFormat, QStringLiteral("out of memory"));
    }
    // Rows of Format_RGB888 start on 4-byte boundaries: the stride is the alignment.
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, size_t(rows.bytesPerLine())};
    Check(JxlEncoderAddImageFrame(settings, &format, rows.constBits(), size_t(rows.sizeInBytes())),
          "the picture cannot be encoded");
}

// Sets one frame option of the encoder; false for a name it does not know.
bool SetOption(JxlEncoderFrameSettings* settings, const QByteArray& name, int value) {
    static const std::pair<const char*, JxlEncoderFrameSettingId> kSettings[] = {
        {"effort", JXL_ENC_FRAME_SETTING_EFFORT},
        {"decoding_speed", JXL_ENC_FRAME_SETTING_DECODING_SPEED},
        {"epf", JXL_ENC_FRAME_SETTING_EPF},
        {"gaborish", JXL_ENC_FRAME_SETTING_GABORISH},
        {"patches", JXL_ENC_FRAME_SETTING_PATCHES},
        {"dots", JXL_ENC_FRAME_SETTING_DOTS},
    };
    for (const auto& [key, id] : kSettings) {
        if (name == key) {
            Check(JxlEncoderFrameSettingsSetOption(settings, id, value),
                  "an encoder option is out of range");
            return true;
        }
    }
    return false;
}

// Codes what was added so far and writes it out; false when writing `out` failed.
bool Drain(JxlEncoder* encoder, QIODevice& out) {
    std::vector<uint8_t> chunk(kOutputChunk);
    for (;;) {
        uint8_t* next = chunk.data();
        size_t left = chunk.size();
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder, &next, &left);
        const qint64 produced = qint64(chunk.size() - left);
        if (produced > 0 &&
            out.write(reinterpret_cast<const char*>(chunk.data()), produced) != produced) {
            return false;
        }
        if (status == JXL_ENC_SUCCESS) {
            return true;
        }
        if (status != JXL_ENC_NEED_MORE_OUTPUT) {
            RaiseEncoderFailure(kFormat, QStringLiteral("the picture cannot be encoded"));
        }
    }
}

}  // namespace

int JxlBandRows(qint64 width, qint64 height, bool lossless) {
    const qint64 perPixel = lossless ? kLosslessBytesPerPixel : kLossyBytesPerPixel;
    if (width <= 0 || width * height * perPixel <= kEncoderBudgetBytes) {
        return int(std::max<qint64>(height, 1));
    }
    // Whole groups of rows, so that no block of the codestream straddles two bands.
    const qint64 rows = kEncoderBudgetBytes / (width * perPixel) / kGroupRows * kGroupRows;
    return int(std::max(rows, kGroupRows));
}

double JxlDistanceForQuality(int quality) {
    if (quality >= 100) {
        return 0.0;
    }
    return quality >= 30 ? 0.1 + (100 - quality) * 0.09
                         : 6.4 + std::pow(2.5, (30 - quality) / 5.0) / 6.25;
}

EncoderOptions ChosenJxlOptions(bool lossless) {
    // Effort 6 costs 0.75-0.85 of the default effort 7's time for the same quality per byte
    // of the luma on photographs (about 1 % more bytes for the same colour PSNR); effort 4
    // drops to a quarter of the time but needs 10-20 % more bytes. Lossless coding keeps the
    // default: there effort 6 saves little time and costs 5-9 % on screenshots and drawings.
    if (lossless) {
        return {};
    }
    return {{"effort", 6}};
}

void WriteJxl(const QImage& picture, int quality, const PictureFacts& facts, QIODevice& out) {
    WriteJxlWithOptions(picture, quality, facts, out, ChosenJxlOptions(quality >= 100));
}

void WriteJxlWithOptions(const QImage& picture, int quality, const PictureFacts& facts,
                         QIODevice& out, const EncoderOptions& options) {
    size_t threads = JxlThreadParallelRunnerDefaultNumWorkerThreads();
    for (const auto& [name, value] : options) {
        if (name == "threads") {
            threads = size_t(std::clamp(value, 0, 64));
        }
    }
    const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    if (!encoder) {
        RaiseEncoderFailure(kFormat, QStringLiteral("libjxl cannot be set up"));
    }
    // With no worker threads the encoder runs its tasks on the calling thread.
    JxlThreadParallelRunnerPtr runner;
    if (threads > 0) {
        runner = JxlThreadParallelRunnerMake(nullptr, threads);
        if (!runner) {
            RaiseEncoderFailure(kFormat, QStringLiteral("libjxl cannot be set up"));
        }
        Check(JxlEncoderSetParallelRunner(encoder.get(), JxlThreadParallelRunner, runner.get()),
              "libjxl cannot be set up");
    }
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
    for (const auto& [name, value] : options) {
        if (name != "threads" && !SetOption(settings, name, value)) {
            RaiseEncoderFailure(kFormat, QStringLiteral("unknown encoder option %1")
                                             .arg(QString::fromLatin1(name)));
        }
    }
    if (lossless) {
        Check(JxlEncoderSetFrameLossless(settings, JXL_TRUE), "lossless coding cannot be set");
    } else {
        Check(JxlEncoderSetFrameDistance(settings, float(distance)), "the quality cannot be set");
    }
    const int bandRows = JxlBandRows(picture.width(), picture.height(), lossless);
    if (bandRows >= picture.height()) {
        AddFrame(settings, picture);
        JxlEncoderCloseInput(encoder.get());
        ClearUpperVectorState();
        Drain(encoder.get(), out);
        return;
    }
    // libjxl 0.7 gives back a lossless picture made of layers with changed colours (up to 9
    // levels of 255 in a 36 MP test); such a picture is refused rather than coded in bands.
    if (lossless) {
        RaiseEncoderFailure(kFormat, QStringLiteral("the picture is too large to be encoded "
                                                    "losslessly in %1 MB (%2 x %3 pixels)")
                                         .arg(kEncoderBudgetBytes >> 20)
                                         .arg(picture.width())
                                         .arg(picture.height()));
    }
    // A picture the encoder cannot hold at once goes as bands, each a layer that replaces
    // its rows of the canvas: the layers make one picture, and the encoder holds one band
    // at a time.
    for (int top = 0; top < picture.height(); top += bandRows) {
        const int rows = std::min(bandRows, picture.height() - top);
        JxlFrameHeader header;
        JxlEncoderInitFrameHeader(&header);
        header.layer_info.have_crop = JXL_TRUE;
        header.layer_info.crop_x0 = 0;
        header.layer_info.crop_y0 = top;
        header.layer_info.xsize = uint32_t(picture.width());
        header.layer_info.ysize = uint32_t(rows);
        header.layer_info.blend_info.blendmode = JXL_BLEND_REPLACE;
        Check(JxlEncoderSetFrameHeader(settings, &header), "a band cannot be set up");
        AddFrame(settings, picture.copy(0, top, picture.width(), rows));
        if (top + rows >= picture.height()) {
            JxlEncoderCloseInput(encoder.get());
        }
        ClearUpperVectorState();
        if (!Drain(encoder.get(), out)) {
            return;
        }
    }
}

// SPDX-License-Identifier: MIT
#include "engine/save_modern_picture.h"

#include "engine/modern_writers.h"
#include "engine/photo_metadata.h"
#include "engine/stamp_setting_table.h"
#include "imageio/heif_planes.h"
#include "imageio/modern_format.h"
#include "imageio/result_file.h"
#include "util/paths.h"
#include "util/vb_error.h"

#include <algorithm>
#include <optional>

void RaiseEncoderFailure(const QString& format, const QString& why) {
    Raise(vberr::kInvalidCall, QStringLiteral("Cannot save the image as %1: %2").arg(format, why));
}

namespace {

// The facts of the copy at `outputPath` (of `format`): the source's coding and metadata
// corrected for the written picture's shape.
PictureFacts FactsForCopy(const SourceMetadata& source, ModernFormat format,
                          const QImage& written) {
    PictureFacts facts = source.coding();
    // An .avif copy is AV1 and a .heic copy HEVC whatever the source's brands say; a
    // .heif copy is coded as its source was.
    if (format == ModernFormat::Avif) {
        facts.av1 = true;
    } else if (format == ModernFormat::Heic) {
        facts.av1 = false;
    }
    facts.metadata = source.ForCopy(written);
    return facts;
}

// Runs `write` into a ResultFile at `outputPath` and commits what it wrote.
template <typename Write>
void WriteResult(const QString& outputPath, Write write) {
    ResultFile file(outputPath);
    write(file);
    if (file.writeError() != 0) {
        file.RaiseWriteError();
    }
    file.Commit();
}

}  // namespace

void SaveModernPicture(const QImage& picture, const SourceMetadata& source,
                       const QString& outputPath, int quality) {
    const std::optional<ModernFormat> format = ModernFormatOfName(outputPath);
    if (!format) {
        RaiseEncoderFailure(LowerExtension(outputPath),
                            QStringLiteral("not a format of this writer"));
    }
    if (picture.isNull()) {
        RaiseEncoderFailure(ModernFormatName(*format), QStringLiteral("there is no picture"));
    }
    const QImage pixels = picture.format() == QImage::Format_RGB32
                              ? picture
                              : picture.convertToFormat(QImage::Format_RGB32);
    const PictureFacts facts = FactsForCopy(source, *format, pixels);
    quality = ClampQuality(quality);
    WriteResult(outputPath, [&](ResultFile& file) {
        switch (*format) {
            case ModernFormat::Heic:
            case ModernFormat::Heif:
            case ModernFormat::Avif:
                WriteHeif(pixels, quality, facts, file);
                break;
            case ModernFormat::WebP:
                WriteWebP(pixels, quality, facts, file);
                break;
            case ModernFormat::Jxl:
                WriteJxl(pixels, quality, facts, file);
                break;
        }
    });
}

void SaveModernPlanes(const HeifPlanes& planes, const SourceMetadata& source,
                      const QString& outputPath, int quality) {
    const std::optional<ModernFormat> format = ModernFormatOfName(outputPath);
    if (!format || (*format != ModernFormat::Heic && *format != ModernFormat::Heif &&
                    *format != ModernFormat::Avif)) {
        RaiseEncoderFailure(LowerExtension(outputPath),
                            QStringLiteral("not a format of this writer"));
    }
    if (!planes.image) {
        RaiseEncoderFailure(ModernFormatName(*format), QStringLiteral("there is no picture"));
    }
    // A picture of the copy's size over the planes' own luma, as a decoded picture of it
    // would measure, for the metadata's sizes.
    const YcbcrPlaneView view = planes.View();
    const QImage shape(view.samples[0], planes.width, planes.height, view.strides[0],
                       QImage::Format_Grayscale8);
    const PictureFacts facts = FactsForCopy(source, *format, shape);
    WriteResult(outputPath, [&](ResultFile& file) {
        WriteHeifPlanes(planes, ClampQuality(quality), facts, file);
    });
}

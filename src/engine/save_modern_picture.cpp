// SPDX-License-Identifier: MIT
#include "engine/save_modern_picture.h"

#include "engine/photo_metadata.h"
#include "imageio/modern_format.h"
#include "engine/modern_writers.h"
#include "util/paths.h"
#include "imageio/result_file.h"
#include "util/vb_error.h"

#include <algorithm>
#include <optional>

void RaiseEncoderFailure(const QString& format, const QString& why) {
    Raise(vberr::kInvalidCall, QStringLiteral("Cannot save the image as %1: %2").arg(format, why));
}

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
    PictureFacts facts = source.coding();
    // An .avif copy is AV1 and a .heic copy HEVC whatever the source's brands say; a
    // .heif copy is coded as its source was.
    if (*format == ModernFormat::Avif) {
        facts.av1 = true;
    } else if (*format == ModernFormat::Heic) {
        facts.av1 = false;
    }
    facts.metadata = source.ForCopy(pixels);
    quality = std::clamp(quality, 0, 100);

    ResultFile file(outputPath);
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
    if (file.writeError() != 0) {
        file.RaiseWriteError();
    }
    file.Commit();
}

// SPDX-License-Identifier: MIT
#include "engine/heif_encoder_settings.h"

#include "engine/modern_writers.h"

#include <QThread>

#include <algorithm>

HeifEncoderParameters ChosenHeifParameters(bool av1, int quality) {
    // One choice serves the whole slider: from quality 50 to 95 the same settings kept
    // their rank against the defaults (bench/README.md).
    Q_UNUSED(quality);
    if (av1) {
        // aom's speed 8 costs about 0.4 of the default 6 for 3-4 % more bytes at the same
        // SSIM; speed 9 drops its search and costs 20 % more bytes. One thread per core:
        // libheif's own default of 4 only adds switching on a small machine.
        const int threads = std::clamp(QThread::idealThreadCount(), 1, 16);
        return {{"speed", "8"}, {"threads", QByteArray::number(threads)}};
    }
    // For a single intra picture x265's fast, faster and veryfast presets code the same
    // bytes at 0.4 of the default (slow) preset's time, 2.5 % more bytes at the same SSIM.
    // 32-pixel coding units give wavefront threads twice the rows and save a sixth more,
    // as does one level less of intra transform splits; superfast and below turn off the
    // adaptive quantisation that tune=ssim relies on and cost 10 % more bytes. Rate-
    // distortion level 1 (splits chosen on estimated costs, not trial codings) saves
    // another tenth for 0.3 % more bytes; a tenth more would take turning off sign
    // hiding, which costs 2 % more bytes at the same PSNR.
    return {{"preset", "veryfast"},
            {"x265:ctu", "32"},
            {"tu-intra-depth", "1"},
            {"x265:rd", "1"}};
}

qint64 HeifEncodePeakBytes(bool av1, int width, int height) {
    // Measured resident peaks of whole copies from 12 to 59 megapixels grow by 24.7 bytes
    // a pixel with aom and 23.8 with x265: the writer's picture (4), libheif's RGB and
    // YCbCr images (4.5) and the encoder's own frames and mode maps; the speed, preset and
    // threads hardly change them. One bound serves both; the process around them is
    // counted as 64 MB.
    Q_UNUSED(av1);
    const qint64 bytesPerPixel = 25;
    const qint64 pixels = qint64(std::max(width, 0)) * qint64(std::max(height, 0));
    return qint64(64) * 1024 * 1024 + pixels * bytesPerPixel;
}

void CheckHeifCopyFits(bool av1, int width, int height) {
    const qint64 peak = HeifEncodePeakBytes(av1, width, height);
    if (peak > kHeifEncodeBoundBytes) {
        const qint64 mb = 1024 * 1024;
        RaiseEncoderFailure(
            av1 ? QStringLiteral("AVIF") : QStringLiteral("HEIC"),
            QStringLiteral("the picture (%1 x %2) is too large for the encoder, which would "
                           "need about %3 MB where a copy may take %4 MB")
                .arg(width)
                .arg(height)
                .arg((peak + mb - 1) / mb)
                .arg(kHeifEncodeBoundBytes / mb));
    }
}

// SPDX-License-Identifier: MIT
// Quality per byte per second of the HEIC and AVIF writer's encoder settings, on the
// writer's own road (WriteHeifWithParameters), against libheif's defaults (heif-enc's).
//
//   velloran_bench_heif_settings rate <heic|avif> <q,q,...> <settings>... -- <picture>...
//     Encodes every picture at every quality with every setting, decodes the copy and
//     prints its size, PSNR and SSIM of the luma, and the encode's CPU and wall time; then
//     the BD-rate of each setting against the first (per picture and the mean), on PSNR and
//     on SSIM (as dB). A setting is "default" (libheif's), "chosen" (the writer's), or
//     name=value pairs joined by ';' (e.g. "preset=fast;tune=ssim").
//   velloran_bench_heif_settings write <picture> <copy.heic|copy.avif> <quality> [settings]
//     One copy, as the batch writes it (timed and measured as a process by the script).
//
// Pictures are read with Qt (PNG, JPEG); the metric is computed in settings_rate.cpp so the
// benchmark needs nothing beyond the project's own libraries.
#include "settings_rate.h"

#include "engine/heif_encoder_settings.h"
#include "engine/modern_writers.h"
#include "imageio/image_limits.h"
#include "imageio/libheif_session.h"
#include "util/vb_error.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <vector>

namespace {

// "default", "chosen", or name=value pairs separated by ';', of which the first may be
// "chosen" to start from the chosen settings.
HeifEncoderParameters ParseSettings(const QString& text, bool av1, int quality) {
    HeifEncoderParameters parameters;
    if (text == QLatin1String("default")) {
        return parameters;
    }
    QStringList pairs = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (pairs.value(0) == QLatin1String("chosen")) {
        parameters = ChosenHeifParameters(av1, quality);
        pairs.removeFirst();
    }
    for (const QString& pair : pairs) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        parameters.emplace_back(pair.left(equals).toUtf8(), pair.mid(equals + 1).toUtf8());
    }
    return parameters;
}

// The copy's picture as libheif decodes it, as RGB32.
QImage Decode(const QByteArray& data) {
    EnsureLibheif();
    const HeifContext context;
    if (heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                   size_t(data.size()), nullptr)
            .code != heif_error_Ok) {
        return {};
    }
    HeifHandle handle;
    heif_context_get_primary_image_handle(context.get(), handle.out());
    HeifImage image;
    if (heif_decode_image(handle.get(), image.out(), heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, nullptr)
            .code != heif_error_Ok) {
        return {};
    }
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    QImage result(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = plane + qsizetype(y) * stride;
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3) {
            out[x] = qRgb(in[0], in[1], in[2]);
        }
    }
    return result;
}

int Rate(const QStringList& arguments) {
    const bool av1 = arguments.value(0) == QLatin1String("avif");
    std::vector<int> qualities;
    for (const QString& q : arguments.value(1).split(QLatin1Char(','))) {
        qualities.push_back(q.toInt());
    }
    const qsizetype dashes = arguments.indexOf(QStringLiteral("--"));
    const QStringList settings = arguments.mid(2, dashes - 2);
    const QStringList pictures = arguments.mid(dashes + 1);
    if (qualities.size() < 4 || settings.isEmpty() || dashes < 0 || pictures.isEmpty()) {
        std::fprintf(stderr, "rate needs four qualities or more, settings, -- and pictures\n");
        return 2;
    }
    SettingsCodec codec;
    codec.encode = [av1](const QImage& picture, int quality, const QString& setting) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        PictureFacts facts;
        facts.av1 = av1;
        WriteHeifWithParameters(picture, quality, facts, buffer,
                                ParseSettings(setting, av1, quality));
        return buffer.data();
    };
    codec.decode = Decode;
    return RateSettings(qualities, settings, pictures, codec);
}

int Write(const QStringList& arguments) {
    const QString target = arguments.value(1);
    const bool av1 = target.endsWith(QLatin1String(".avif"), Qt::CaseInsensitive);
    const int quality = arguments.value(2).toInt();
    const QImage picture = QImage(arguments.value(0)).convertToFormat(QImage::Format_RGB32);
    if (picture.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(arguments.value(0)));
        return 1;
    }
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(target));
        return 1;
    }
    PictureFacts facts;
    facts.av1 = av1;
    if (arguments.size() > 3) {
        WriteHeifWithParameters(picture, quality, facts, file,
                                ParseSettings(arguments.value(3), av1, quality));
    } else {
        WriteHeif(picture, quality, facts, file);
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    RaiseImageAllocationLimit();
    const QStringList arguments = app.arguments().mid(1);
    try {
        if (arguments.value(0) == QLatin1String("rate") && arguments.size() >= 5) {
            return Rate(arguments.mid(1));
        }
        if (arguments.value(0) == QLatin1String("write") && arguments.size() >= 4) {
            return Write(arguments.mid(1));
        }
    } catch (const VbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: %s rate <heic|avif> <q,q,q,q> <settings>... -- <picture>...\n"
                 "       %s write <picture> <copy.heic|copy.avif> <quality> [settings]\n",
                 argv[0], argv[0]);
    return 2;
}

// SPDX-License-Identifier: MIT
// Quality per byte per second of the WebP and JPEG XL writers' encoder options, on the
// writers' own road (WriteWebPWithOptions, WriteJxlWithOptions), against the libraries'
// defaults (cwebp's and cjxl's).
//
//   velloran_bench_webp_jxl_settings rate <webp|webp-lossless|jxl|jxl-lossless> <q,q,...> <settings>...
//                                         -- <picture>...
//     Every picture at every quality with every setting, as settings_rate.h says; a
//     lossless coding takes one quality (100 for JPEG XL) and compares sizes. A setting is "default" (the
//     library's), "chosen" (the writer's), or name=value pairs joined by ';'
//     (e.g. "method=2;segments=2", "effort=6;threads=0").
//   velloran_bench_webp_jxl_settings write <webp|webp-lossless|jxl|jxl-lossless> <picture> <copy>
//                                          <quality> [settings]
//     One copy, as the batch writes it without a setting (timed as a process by the script).
#include "settings_rate.h"

#include "engine/modern_writers.h"
#include "imageio/image_limits.h"
#include "imageio/jxl_decoder.h"
#include "imageio/webp_decoder.h"
#include "util/vb_error.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <vector>

namespace {

struct Format {
    bool jxl = false;
    bool lossless = false;
};

Format FormatOf(const QString& name) {
    return {name.startsWith(QLatin1String("jxl")), name.endsWith(QLatin1String("-lossless"))};
}

EncoderOptions ParseSettings(const QString& text, const Format& format, int quality) {
    if (text == QLatin1String("chosen")) {
        return format.jxl ? ChosenJxlOptions(quality >= 100) : ChosenWebPOptions(format.lossless);
    }
    EncoderOptions options;
    if (text == QLatin1String("default")) {
        return options;
    }
    for (const QString& pair : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        options.emplace_back(pair.left(equals).toUtf8(), pair.mid(equals + 1).toInt());
    }
    return options;
}

void Encode(const QImage& picture, int quality, const Format& format, QIODevice& out,
            const EncoderOptions* options) {
    PictureFacts facts;
    facts.lossless = format.lossless;
    if (format.jxl) {
        options ? WriteJxlWithOptions(picture, quality, facts, out, *options)
                : WriteJxl(picture, quality, facts, out);
    } else {
        options ? WriteWebPWithOptions(picture, quality, facts, out, *options)
                : WriteWebP(picture, quality, facts, out);
    }
}

int Rate(const QStringList& arguments) {
    const Format format = FormatOf(arguments.value(0));
    std::vector<int> qualities;
    for (const QString& q : arguments.value(1).split(QLatin1Char(','))) {
        qualities.push_back(q.toInt());
    }
    const qsizetype dashes = arguments.indexOf(QStringLiteral("--"));
    const QStringList settings = arguments.mid(2, dashes - 2);
    const QStringList pictures = arguments.mid(dashes + 1);
    if ((qualities.size() < 4 && !format.lossless) || settings.isEmpty() || dashes < 0 ||
        pictures.isEmpty()) {
        std::fprintf(stderr, "rate needs four qualities or more (lossless: one), settings, "
                             "-- and pictures\n");
        return 2;
    }
    SettingsCodec codec;
    codec.encode = [format](const QImage& picture, int quality, const QString& setting) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const EncoderOptions options = ParseSettings(setting, format, quality);
        Encode(picture, quality, format, buffer, &options);
        return buffer.data();
    };
    codec.decode = [format](const QByteArray& copy) {
        const DecodedPicture decoded = format.jxl ? DecodeJxl(copy, 0) : DecodeWebP(copy, 0);
        return decoded.image.convertToFormat(QImage::Format_RGB32);
    };
    return RateSettings(qualities, settings, pictures, codec);
}

int Write(const QStringList& arguments) {
    const Format format = FormatOf(arguments.value(0));
    const QString target = arguments.value(2);
    const int quality = arguments.value(3).toInt();
    const QImage picture = QImage(arguments.value(1)).convertToFormat(QImage::Format_RGB32);
    if (picture.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(arguments.value(1)));
        return 1;
    }
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(target));
        return 1;
    }
    if (arguments.size() > 4) {
        const EncoderOptions options = ParseSettings(arguments.value(4), format, quality);
        Encode(picture, quality, format, file, &options);
    } else {
        Encode(picture, quality, format, file, nullptr);
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
        if (arguments.value(0) == QLatin1String("write") && arguments.size() >= 5) {
            return Write(arguments.mid(1));
        }
    } catch (const VbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: %s rate <webp|webp-lossless|jxl|jxl-lossless> <q,q,q,q> <settings>... -- "
                 "<picture>...\n"
                 "       %s write <webp|webp-lossless|jxl|jxl-lossless> <picture> <copy> <quality> "
                 "[settings]\n",
                 argv[0], argv[0]);
    return 2;
}

// SPDX-License-Identifier: MIT
#include "format_writers.h"

#include <QBuffer>
#include <QImageWriter>
#include <optional>

#include "file_output.h"
#include "gif_writer.h"
#include "ico_mask.h"
#include "imageio/flatten_on_white.h"
#include "image_ops.h"
#include "jpeg444_writer.h"
#include "png_writer.h"
#include "tiff_writer.h"
#include "util/descriptor_path.h"

namespace velloran::convert {

namespace {

constexpr int kIcoMaxSide = 256;

bool encodeWithQt(const QImage& image, const char* format, std::optional<int> compression,
                  QByteArray* encoded, QString* error) {
    QBuffer buffer(encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (compression)
        writer.setCompression(*compression);
    if (!writer.write(image)) {
        *error = writer.errorString();
        return false;
    }
    return true;
}

}  // namespace

bool encodeImage(const QImage& image, const Options& options, QByteArray* encoded, QString* error) {
    switch (options.format) {
        case ImageFormat::Jpeg:
            return encodeJpeg444(image, encoded, error);
        case ImageFormat::Gif:
            return encodeGif(image, options.colors, options.dither, encoded, error);
        case ImageFormat::Png:
            return encodePng(image, encoded, error);
        case ImageFormat::Tiff:
            return encodeTiff(image, encoded, error);
        case ImageFormat::Ico:
            if (!encodeWithQt(shrinkToFit(toSrgb(image), kIcoMaxSide), "ico", std::nullopt,
                              encoded, error))
                return false;
            clearIcoMaskPadding(*encoded);
            return true;
        case ImageFormat::Bmp:
            // Qt writes BMP without alpha, which would expose whatever colour hides under
            // transparent pixels.
            return encodeWithQt(FlattenOntoWhite(toSrgb(image)), "bmp", std::nullopt, encoded,
                                error);
    }
    *error = QStringLiteral("unsupported output format");
    return false;
}

bool writeImageFile(const QImage& image, const Options& options, QString* error) {
    if (options.format != ImageFormat::Jpeg || DescriptorOfPath(options.outputPath)) {
        QByteArray encoded;
        return encodeImage(image, options, &encoded, error) &&
               writeFileAtomically(options.outputPath, encoded, error);
    }
    // The file is created with the first bytes, so a picture the encoder refuses at its
    // start leaves no file behind, as before.
    OutputFile file(options.outputPath);
    bool opened = false;
    const JpegSink toFile = [&](const char* bytes, qsizetype size, QString* failure) {
        if (!opened && !file.open(failure))
            return false;
        opened = true;
        return file.append(bytes, size, failure);
    };
    return encodeJpeg444(image, toFile, error) && file.commit(error);
}

}  // namespace velloran::convert

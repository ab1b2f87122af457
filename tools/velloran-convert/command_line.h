// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace velloran::convert {

enum class ImageFormat { Jpeg, Png, Tiff, Gif, Ico, Bmp };

struct Options {
    ImageFormat format = ImageFormat::Jpeg;
    QString inputPath;
    QString outputPath;  // equals inputPath when the file is rewritten in place
    bool dither = false;
    int colors = 256;  // palette size limit, used for GIF only
};

struct ParsedCommandLine {
    bool helpRequested = false;
    Options options;
    QString error;  // empty when the arguments were valid
};

// `arguments` excludes the program name.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

std::optional<ImageFormat> formatFromWord(const QString& word);
std::optional<ImageFormat> formatFromFileName(const QString& path);

QString usageText();

}  // namespace velloran::convert

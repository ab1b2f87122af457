// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <QFileInfo>
#include <utility>

#include "util/descriptor_path.h"

namespace velloran::convert {

namespace {

constexpr std::pair<const char*, ImageFormat> kFormatWords[] = {
    {"jpeg", ImageFormat::Jpeg}, {"jpg", ImageFormat::Jpeg}, {"png", ImageFormat::Png},
    {"tiff", ImageFormat::Tiff}, {"tif", ImageFormat::Tiff}, {"gif", ImageFormat::Gif},
    {"ico", ImageFormat::Ico},   {"bmp", ImageFormat::Bmp},
};

constexpr std::pair<const char*, ImageFormat> kExtensions[] = {
    {"jpg", ImageFormat::Jpeg},  {"jpeg", ImageFormat::Jpeg}, {"jpe", ImageFormat::Jpeg},
    {"jfif", ImageFormat::Jpeg}, {"png", ImageFormat::Png},   {"tif", ImageFormat::Tiff},
    {"tiff", ImageFormat::Tiff}, {"gif", ImageFormat::Gif},   {"ico", ImageFormat::Ico},
    {"bmp", ImageFormat::Bmp},   {"dib", ImageFormat::Bmp},   {"rle", ImageFormat::Bmp},
};

template <std::size_t N>
std::optional<ImageFormat> lookUp(const std::pair<const char*, ImageFormat> (&table)[N],
                                  const QString& name) {
    const QString lower = name.toLower();
    for (const auto& [key, format] : table) {
        if (lower == QLatin1String(key))
            return format;
    }
    return std::nullopt;
}

// A lone "-" is left to be a file name.
bool isOption(const QString& argument) {
    return argument.size() > 1 && argument.startsWith(u'-');
}

}  // namespace

std::optional<ImageFormat> formatFromWord(const QString& word) {
    return lookUp(kFormatWords, word);
}

std::optional<ImageFormat> formatFromFileName(const QString& path) {
    // A descriptor's path has no extension of its own: the file it holds has.
    const QString named = DescriptorOfPath(path) ? QFileInfo(path).symLinkTarget() : path;
    return lookUp(kExtensions, QFileInfo(named).suffix());
}

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
    ParsedCommandLine result;
    auto fail = [&result](const QString& message) {
        result.error = message;
        return result;
    };

    QStringList positionals;
    // Index in `positionals` of the argument right after -out. It is a format word only if
    // another positional follows it, because the last positional is always the file.
    qsizetype formatCandidate = -1;
    bool sawOut = false;
    std::optional<QString> outputPath;
    std::optional<QString> colorsText;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == u"-h" || argument == u"--help") {
            result.helpRequested = true;
            return result;
        }
        if (argument == u"-out") {
            if (sawOut)
                return fail(QStringLiteral("-out is given twice"));
            sawOut = true;
            if (i + 1 < arguments.size() && !isOption(arguments.at(i + 1))) {
                formatCandidate = positionals.size();
            }
        } else if (argument == u"-o" || argument == u"-colors") {
            if (i + 1 >= arguments.size())
                return fail(argument + QStringLiteral(" needs a value"));
            (argument == u"-o" ? outputPath : colorsText) = arguments.at(++i);
        } else if (argument == u"-dither") {
            result.options.dither = true;
        } else if (isOption(argument)) {
            return fail(QStringLiteral("unknown option %1").arg(argument));
        } else {
            positionals.append(argument);
        }
    }

    if (!sawOut)
        return fail(QStringLiteral("-out is missing"));
    std::optional<QString> formatWord;
    if (formatCandidate >= 0 && formatCandidate + 1 < positionals.size()) {
        formatWord = positionals.takeAt(formatCandidate);
    }
    if (positionals.isEmpty())
        return fail(QStringLiteral("no file given"));
    if (positionals.size() > 1) {
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(positionals.first()));
    }

    Options& options = result.options;
    options.inputPath = positionals.first();
    options.outputPath = outputPath.value_or(options.inputPath);
    if (formatWord) {
        const auto format = formatFromWord(*formatWord);
        if (!format)
            return fail(QStringLiteral("unknown format \"%1\"").arg(*formatWord));
        options.format = *format;
    } else {
        const auto format = formatFromFileName(options.outputPath);
        if (!format) {
            return fail(QStringLiteral("cannot tell the format from the name \"%1\"")
                            .arg(options.outputPath));
        }
        options.format = *format;
        // GIF chosen by extension always gets the full dithered palette.
        if (options.format == ImageFormat::Gif)
            options.dither = true;
    }
    if (colorsText) {
        bool ok = false;
        options.colors = colorsText->toInt(&ok);
        if (!ok || options.colors < 2 || options.colors > 256) {
            return fail(QStringLiteral("-colors takes a number from 2 to 256"));
        }
    }
    return result;
}

QString usageText() {
    return QStringLiteral(
        "Usage: velloran-convert -out [FORMAT] [OPTIONS] FILE\n"
        "\n"
        "Reads FILE (JPEG, PNG, TIFF, BMP or GIF, judged by its content) and writes it as\n"
        "FORMAT, replacing FILE unless -o is given. The file is only replaced once the new\n"
        "image is complete.\n"
        "\n"
        "FORMAT is one of jpeg (jpg), png, tiff (tif), gif, ico, bmp. Without FORMAT the\n"
        "format follows the extension of the file written: jpg jpeg jpe jfif png tif tiff\n"
        "gif ico bmp dib rle.\n"
        "\n"
        "Options:\n"
        "  -o PATH      write to PATH and leave FILE untouched\n"
        "  -dither      GIF: ordered dither when reducing colours\n"
        "  -colors N    GIF: use at most N colours (2 to 256, default 256)\n"
        "  -h, --help   show this text\n"
        "\n"
        "A FILE or PATH written as /proc/self/fd/N is the inherited descriptor N: it is\n"
        "read and rewritten through that descriptor, whose file the caller created and\n"
        "keeps whole. Any other file written is created anew beside its name and renamed\n"
        "onto it, never written through: a link of yours under that name is followed and\n"
        "its file replaced, a link of another user is refused.\n"
        "\n"
        "JPEG is written at full colour resolution and top quality. ICO images are shrunk\n"
        "to fit 256x256. Exits with 0 on success; otherwise prints one line on standard\n"
        "error and leaves every file as it was.\n");
}

}  // namespace velloran::convert

// SPDX-License-Identifier: MIT
#include "png_writer.h"

#include <png.h>
#include <zlib.h>

#include <QColorSpace>
#include <QSysInfo>
#include <algorithm>
#include <new>
#include <vector>

namespace velloran::convert {

namespace {

constexpr bool kLittleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
// Larger output pieces mean fewer calls into the buffer growth below.
constexpr size_t kZlibBufferBytes = 1 << 17;
// Below this many bytes a text value gains nothing from compression.
constexpr qsizetype kCompressTextFrom = 64;
constexpr int kMaxKeywordLength = 79;

// The rows as libpng takes them, and what it must do to each row on the way.
struct Layout {
    QImage pixels;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool bgr = false;          // colour bytes in blue, green, red order
    bool stripFiller = false;  // an unused sample after the colour of each pixel, in memory order
    bool swap16 = false;       // 16-bit samples least significant byte first
    bool packSwap = false;     // 1-bit pixels least significant bit first
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;  // empty when every palette entry is opaque
};

int highestIndex(const QImage& indexed) {
    uchar highest = 0;
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* row = indexed.constScanLine(y);
        highest = std::max(highest, *std::max_element(row, row + indexed.width()));
    }
    return highest;
}

// Indices beyond the colour table are shown as opaque black by Qt, so the palette is padded with
// that; a PNG palette must cover every index used.
void setPalette(Layout& layout, const QImage& image, int usedEntries) {
    const int capacity = 1 << layout.bitDepth;
    const QList<QRgb> table = image.colorTable();
    const int entries = std::min(capacity, std::max(usedEntries, int(table.size())));
    int lastTranslucent = -1;
    for (int i = 0; i < entries; ++i) {
        const QRgb colour = i < table.size() ? table[i] : qRgb(0, 0, 0);
        layout.palette.push_back(
            {png_byte(qRed(colour)), png_byte(qGreen(colour)), png_byte(qBlue(colour))});
        layout.paletteAlpha.push_back(png_byte(qAlpha(colour)));
        if (qAlpha(colour) != 255)
            lastTranslucent = i;
    }
    layout.paletteAlpha.resize(lastTranslucent + 1);
}

// More than 8 bits per channel: these go out with 16 bits so no precision is lost.
bool isDeep(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_BGR30:
        case QImage::Format_A2BGR30_Premultiplied:
        case QImage::Format_RGB30:
        case QImage::Format_A2RGB30_Premultiplied:
            return true;
        default:
            return image.depth() > 32;
    }
}

Layout layoutFor(const QImage& image) {
    Layout layout;
    layout.pixels = image;
    switch (image.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
            layout.colorType = PNG_COLOR_TYPE_PALETTE;
            layout.bitDepth = 1;
            layout.packSwap = image.format() == QImage::Format_MonoLSB;
            setPalette(layout, image, 2);
            return layout;
        case QImage::Format_Indexed8:
            layout.colorType = PNG_COLOR_TYPE_PALETTE;
            setPalette(layout, image, highestIndex(image) + 1);
            return layout;
        case QImage::Format_Grayscale8:
            layout.colorType = PNG_COLOR_TYPE_GRAY;
            return layout;
        case QImage::Format_Grayscale16:
            layout.colorType = PNG_COLOR_TYPE_GRAY;
            layout.bitDepth = 16;
            layout.swap16 = kLittleEndian;
            return layout;
        case QImage::Format_RGB888:
            return layout;
        case QImage::Format_BGR888:
            layout.bgr = true;
            return layout;
        case QImage::Format_RGBX8888:
            layout.stripFiller = true;
            return layout;
        case QImage::Format_RGBA8888:
            layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
            return layout;
        case QImage::Format_RGBX64:
            layout.bitDepth = 16;
            layout.stripFiller = true;
            layout.swap16 = kLittleEndian;
            return layout;
        case QImage::Format_RGBA64:
            layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
            layout.bitDepth = 16;
            layout.swap16 = kLittleEndian;
            return layout;
        // Qt's 32-bit formats are words 0xAARRGGBB, bytes B, G, R, A in little-endian memory.
        case QImage::Format_RGB32:
            if (!kLittleEndian)
                break;
            layout.bgr = true;
            layout.stripFiller = true;
            return layout;
        case QImage::Format_ARGB32:
            if (!kLittleEndian)
                break;
            layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
            layout.bgr = true;
            return layout;
        default:
            break;
    }
    // Premultiplied, floating-point, 30-bit and the rarer formats: one conversion to the nearest
    // format handled above.
    const bool alpha = image.hasAlphaChannel();
    const QImage::Format target = isDeep(image)
                                      ? (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                                      : (alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    return layoutFor(image.convertToFormat(target));
}

// libpng refuses keywords that are empty once it has dropped what a keyword may not hold, and
// then abandons the whole image; only clean keywords are passed on.
bool isCleanKeyword(const QString& keyword) {
    if (keyword.isEmpty() || keyword.size() > kMaxKeywordLength || keyword.simplified() != keyword)
        return false;
    return std::all_of(keyword.begin(), keyword.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x20 && u <= 0x7E) || (u >= 0xA1 && u <= 0xFF);
    });
}

// Text a tEXt or zTXt chunk can hold: Latin-1 without control characters but the line feed.
bool isPlainText(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return u == u'\n' || (u >= 0x20 && u <= 0x7E) || (u >= 0xA0 && u <= 0xFF);
    });
}

// The chunks besides the pixels. png_text entries point into `bytes`.
struct Metadata {
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
    QPoint offset;
    bool srgb = false;
    QByteArray iccName;
    QByteArray iccProfile;
    std::vector<QByteArray> bytes;
    std::vector<png_text> texts;
};

Metadata metadataFor(const QImage& image) {
    Metadata metadata;
    metadata.dotsPerMeterX = image.dotsPerMeterX();
    metadata.dotsPerMeterY = image.dotsPerMeterY();
    metadata.offset = image.offset();
    const QColorSpace colorSpace = image.colorSpace();
    if (colorSpace.isValid()) {
        if (colorSpace == QColorSpace(QColorSpace::SRgb)) {
            metadata.srgb = true;
        } else {
            metadata.iccProfile = colorSpace.iccProfile();
            const QString name = colorSpace.description().simplified().left(kMaxKeywordLength);
            metadata.iccName =
                isCleanKeyword(name) ? name.toLatin1() : QByteArrayLiteral("ICC profile");
        }
    }

    const QStringList keys = image.textKeys();
    metadata.bytes.reserve(2 * keys.size());  // no reallocation: the entries keep pointers
    for (const QString& key : keys) {
        const QString keyword = key.left(kMaxKeywordLength);
        const QString value = image.text(key);
        if (!isCleanKeyword(keyword) || value.isEmpty())
            continue;
        png_text entry{};
        const bool compress = value.size() >= kCompressTextFrom;
        if (isPlainText(value)) {
            entry.compression = compress ? PNG_TEXT_COMPRESSION_zTXt : PNG_TEXT_COMPRESSION_NONE;
            metadata.bytes.push_back(value.toLatin1());
        } else {
            entry.compression = compress ? PNG_ITXT_COMPRESSION_zTXt : PNG_ITXT_COMPRESSION_NONE;
            metadata.bytes.push_back(value.toUtf8());
        }
        entry.text = metadata.bytes.back().data();
        metadata.bytes.push_back(keyword.toLatin1());
        entry.key = metadata.bytes.back().data();
        metadata.texts.push_back(entry);
    }
    return metadata;
}

int filterMask(PngFilter filter) {
    switch (filter) {
        case PngFilter::None:
            return PNG_FILTER_NONE;
        case PngFilter::Sub:
            return PNG_FILTER_SUB;
        case PngFilter::Up:
            return PNG_FILTER_UP;
        case PngFilter::Paeth:
            return PNG_FILTER_PAETH;
    }
    return PNG_FILTER_NONE;
}

int zlibStrategy(ZlibStrategy strategy) {
    switch (strategy) {
        case ZlibStrategy::Default:
            return Z_DEFAULT_STRATEGY;
        case ZlibStrategy::Filtered:
            return Z_FILTERED;
        case ZlibStrategy::Rle:
            return Z_RLE;
        case ZlibStrategy::HuffmanOnly:
            return Z_HUFFMAN_ONLY;
    }
    return Z_DEFAULT_STRATEGY;
}

// What libpng said, for the one-line error message. Before an error about the image header it
// gives the reason as a warning, such as a width beyond its limit.
struct Messages {
    QString error;
    QString lastWarning;
};

// libpng reports errors through this callback and a long jump back into writePng().
[[noreturn]] void raiseError(png_structp png, png_const_charp message) {
    static_cast<Messages*>(png_get_error_ptr(png))->error = QString::fromLatin1(message);
    png_longjmp(png, 1);
}

// Other warnings name chunks libpng left out, such as an ICC profile it finds unusable; the image
// itself is fine then.
void keepWarning(png_structp png, png_const_charp message) {
    static_cast<Messages*>(png_get_error_ptr(png))->lastWarning = QString::fromLatin1(message);
}

void appendOutput(png_structp png, png_bytep data, size_t length) {
    bool appended = true;
    try {
        static_cast<QByteArray*>(png_get_io_ptr(png))
            ->append(reinterpret_cast<const char*>(data), qsizetype(length));
    } catch (const std::bad_alloc&) {
        appended = false;
    }
    if (!appended)
        png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

// Everything between setjmp and the last libpng call lives here, with no C++ object of its own
// that a long jump could skip past.
bool writePng(png_structp png, png_infop info, const Layout& layout, const Metadata& metadata,
              png_bytepp rows, const PngCompression& compression) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    const QImage& pixels = layout.pixels;
    png_set_IHDR(png, info, png_uint_32(pixels.width()), png_uint_32(pixels.height()),
                 layout.bitDepth, layout.colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) {
        png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
        if (!layout.paletteAlpha.empty()) {
            png_set_tRNS(png, info, layout.paletteAlpha.data(), int(layout.paletteAlpha.size()),
                         nullptr);
        }
    }
    if (metadata.dotsPerMeterX > 0 && metadata.dotsPerMeterY > 0) {
        png_set_pHYs(png, info, png_uint_32(metadata.dotsPerMeterX),
                     png_uint_32(metadata.dotsPerMeterY), PNG_RESOLUTION_METER);
    }
    if (!metadata.offset.isNull()) {
        png_set_oFFs(png, info, metadata.offset.x(), metadata.offset.y(), PNG_OFFSET_PIXEL);
    }
    if (metadata.srgb) {
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    } else if (!metadata.iccProfile.isEmpty()) {
        png_set_iCCP(png, info, metadata.iccName.constData(), PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(metadata.iccProfile.constData()),
                     png_uint_32(metadata.iccProfile.size()));
    }
    if (!metadata.texts.empty())
        png_set_text(png, info, metadata.texts.data(), int(metadata.texts.size()));

    // Filters predict continuous tones; palette indices and packed pixels do better without.
    const bool filterable = layout.bitDepth >= 8 && layout.colorType != PNG_COLOR_TYPE_PALETTE;
    png_set_filter(png, PNG_FILTER_TYPE_BASE,
                   filterable ? filterMask(compression.filter) : PNG_FILTER_NONE);
    png_set_compression_level(png, compression.level);
    png_set_compression_strategy(png, zlibStrategy(compression.strategy));
    png_set_compression_buffer_size(png, kZlibBufferBytes);
    png_write_info(png, info);

    if (layout.bgr)
        png_set_bgr(png);
    if (layout.stripFiller)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    if (layout.swap16)
        png_set_swap(png);
    if (layout.packSwap)
        png_set_packswap(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool encodePng(const QImage& image, QByteArray* png, QString* error,
               const PngCompression& compression) {
    const Layout layout = layoutFor(image);
    const Metadata metadata = metadataFor(image);
    std::vector<png_bytep> rows(size_t(layout.pixels.height()));
    for (int y = 0; y < layout.pixels.height(); ++y)
        rows[size_t(y)] = const_cast<png_bytep>(layout.pixels.constScanLine(y));

    Messages messages;
    QByteArray output;
    png_structp writer =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &messages, raiseError, keepWarning);
    png_infop info = writer ? png_create_info_struct(writer) : nullptr;
    bool written = false;
    if (info) {
        png_set_write_fn(writer, &output, appendOutput, flushNothing);
        // Unusable chunk data, such as a damaged ICC profile, costs that chunk, not the image.
        png_set_benign_errors(writer, 1);
        written = writePng(writer, info, layout, metadata, rows.data(), compression);
    }
    png_destroy_write_struct(&writer, &info);
    if (!written) {
        if (messages.error.isEmpty())
            *error = QStringLiteral("cannot start the PNG encoder");
        else if (messages.lastWarning.isEmpty())
            *error = messages.error;
        else
            *error = QStringLiteral("%1 (%2)").arg(messages.error, messages.lastWarning);
        return false;
    }
    *png = std::move(output);
    return true;
}

}  // namespace velloran::convert

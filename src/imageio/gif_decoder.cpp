// SPDX-License-Identifier: MIT
#include "imageio/gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// No LZW code stands for more than 4096 pixels, and every code takes at least the
// minimum code size plus one bit.
constexpr qint64 kMaxPixelsPerCode = 4096;

struct Source {
    const QByteArray* data;
    qint64 at = 0;
};

int ReadFromSource(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<Source*>(gif->UserData);
    const qint64 n = std::min<qint64>(length, source->data->size() - source->at);
    if (n <= 0) {
        return 0;
    }
    std::copy_n(source->data->constData() + source->at, n, reinterpret_cast<char*>(out));
    source->at += n;
    return int(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

QString GifError(const GifFileType* gif) {
    const char* text = GifErrorString(gif->Error);
    return text ? QString::fromLatin1(text) : QStringLiteral("unreadable data");
}

// Bytes of compressed pixel data from `at` (the LZW code size byte) on.
qint64 CompressedBytes(const QByteArray& data, qint64 at, int* codeSize) {
    if (at >= data.size()) {
        return 0;
    }
    *codeSize = uchar(data[at++]);
    qint64 total = 0;
    while (at < data.size()) {
        const int length = uchar(data[at]);
        if (length == 0) {
            break;
        }
        total += std::min<qint64>(length, data.size() - at - 1);
        at += 1 + length;
    }
    return total;
}

// Rows of an interlaced frame come in four passes.
std::vector<int> RowOrder(int height, bool interlaced) {
    std::vector<int> rows;
    rows.reserve(size_t(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y) {
            rows.push_back(y);
        }
        return rows;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < height; y += kStep[pass]) {
            rows.push_back(y);
        }
    }
    return rows;
}

// Reads the records after the first frame up to the trailer, so a file cut anywhere is
// found; later frames are skipped without decoding.
bool SkipToTrailer(GifFileType* gif) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    do {
        if (DGifGetRecordType(gif, &type) != GIF_OK) {
            return false;
        }
        GifByteType* block = nullptr;
        int code = 0;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) != GIF_OK || DGifGetCode(gif, &code, &block) != GIF_OK) {
                return false;
            }
            while (block != nullptr) {
                if (DGifGetCodeNext(gif, &block) != GIF_OK) {
                    return false;
                }
            }
        } else if (type == EXTENSION_RECORD_TYPE) {
            if (DGifGetExtension(gif, &code, &block) != GIF_OK) {
                return false;
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif, &block) != GIF_OK) {
                    return false;
                }
            }
        }
    } while (type != TERMINATE_RECORD_TYPE);
    return true;
}

}  // namespace

namespace {

// DecodeGif, or with `sizeOnly` its verdicts up to the size check and no pixel decoded.
DecodedGif Decode(const QByteArray& data, qint64 byteLimit, bool sizeOnly) {
    DecodedGif result;
    const auto damaged = [&result](const QString& why) {
        result.damage = why;
        result.image = QImage();
        return result;
    };
    Source source{&data};
    int openError = 0;
    const GifFile gif(DGifOpen(&source, ReadFromSource, &openError));
    if (!gif) {
        const char* text = GifErrorString(openError);
        return damaged(text ? QString::fromLatin1(text) : QStringLiteral("no GIF header"));
    }
    const qint64 screenWidth = gif->SWidth;
    const qint64 screenHeight = gif->SHeight;
    int transparent = -1;
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    for (;;) {
        if (DGifGetRecordType(gif.get(), &type) != GIF_OK) {
            return damaged(GifError(gif.get()));
        }
        if (type == TERMINATE_RECORD_TYPE) {
            return damaged(QStringLiteral("it holds no image"));
        }
        if (type == IMAGE_DESC_RECORD_TYPE) {
            break;
        }
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) {
            return damaged(GifError(gif.get()));
        }
        while (block != nullptr) {
            if (code == GRAPHICS_EXT_FUNC_CODE && block[0] >= 4) {
                GraphicsControlBlock control{};
                DGifExtensionToGCB(block[0], block + 1, &control);
                transparent = control.TransparentColor;
            }
            if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) {
                return damaged(GifError(gif.get()));
            }
        }
    }
    if (DGifGetImageDesc(gif.get()) != GIF_OK) {
        return damaged(GifError(gif.get()));
    }
    const GifImageDesc frame = gif->Image;
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (screenWidth <= 0 || screenHeight <= 0 || frame.Width <= 0 || frame.Height <= 0) {
        return damaged(QStringLiteral("it declares an empty picture"));
    }
    if (colours == nullptr) {
        return damaged(QStringLiteral("it has no colour table"));
    }
    // giflib has read the LZW code size byte along with the image descriptor.
    int codeSize = 0;
    const qint64 compressed = CompressedBytes(data, source.at - 1, &codeSize);
    const qint64 fillable = (compressed * 8 / (codeSize + 1) + 1) * kMaxPixelsPerCode;
    if (screenWidth * screenHeight > fillable || qint64(frame.Width) * frame.Height > fillable) {
        return damaged(QStringLiteral("it declares %1 x %2 pixels but holds data for far fewer")
                           .arg(std::max<qint64>(screenWidth, frame.Width))
                           .arg(std::max<qint64>(screenHeight, frame.Height)));
    }
    if (byteLimit > 0 && screenWidth * screenHeight * 4 + frame.Width > byteLimit) {
        result.tooLarge = true;
        return result;
    }
    if (sizeOnly) {
        return result;
    }

    const bool covers = frame.Left == 0 && frame.Top == 0 && frame.Width >= screenWidth &&
                        frame.Height >= screenHeight;
    const bool alpha = transparent >= 0 || !covers;
    QImage image(int(screenWidth), int(screenHeight),
                 alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        result.tooLarge = true;
        return result;
    }
    image.fill(alpha ? qRgba(0, 0, 0, 0) : qRgb(255, 255, 255));
    QRgb palette[256];
    for (int i = 0; i < 256; ++i) {
        const GifColorType c = i < colours->ColorCount ? colours->Colors[i] : GifColorType{0, 0, 0};
        palette[i] = qRgb(c.Red, c.Green, c.Blue);
    }
    std::vector<GifPixelType> line(size_t(frame.Width));
    for (const int row : RowOrder(frame.Height, frame.Interlace)) {
        if (DGifGetLine(gif.get(), line.data(), frame.Width) != GIF_OK) {
            return damaged(GifError(gif.get()));
        }
        const int y = frame.Top + row;
        if (y >= image.height()) {
            continue;
        }
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int xEnd = std::min(image.width(), frame.Left + frame.Width);
        for (int x = frame.Left; x < xEnd; ++x) {
            const int index = line[size_t(x - frame.Left)];
            if (index != transparent) {
                out[x] = palette[index];
            }
        }
    }
    if (!SkipToTrailer(gif.get())) {
        return damaged(GifError(gif.get()));
    }
    result.image = std::move(image);
    return result;
}

}  // namespace

DecodedGif DecodeGif(const QByteArray& data, qint64 byteLimit) {
    return Decode(data, byteLimit, false);
}

bool GifHeadShowsTooLarge(const QByteArray& head, qint64 byteLimit) {
    // The checks before the size check only pass more easily on more of the file: the
    // compressed data counted for the "holds data for far fewer" check only grows.
    return Decode(head, byteLimit, true).tooLarge;
}

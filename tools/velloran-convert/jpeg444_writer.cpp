// SPDX-License-Identifier: MIT
#include "jpeg444_writer.h"

#include <turbojpeg.h>

#include <memory>

#include "image_ops.h"

namespace velloran::convert {

namespace {

constexpr int kQuality = 100;

struct CompressorDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct BufferDeleter {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// TurboJPEG's JFIF header states only a 1:1 pixel aspect; record the source's resolution there
// so documents place the picture at its original size. Qt gives images that state no resolution
// a default one; those keep the aspect-only header.
void writeJfifResolution(QByteArray& jpeg, const QImage& source) {
    const QImage unstated(1, 1, QImage::Format_RGB32);
    if (source.dotsPerMeterX() == unstated.dotsPerMeterX() &&
        source.dotsPerMeterY() == unstated.dotsPerMeterY()) {
        return;
    }
    // SOI, APP0 marker, length, "JFIF\0", version, then units at 13 and densities at 14 and 16.
    if (jpeg.size() < 18 || !jpeg.startsWith("\xFF\xD8\xFF\xE0") ||
        jpeg.mid(6, 5) != QByteArray("JFIF\0", 5)) {
        return;
    }
    const auto dpi = [](int dotsPerMeter) {
        return qBound(1, qRound(dotsPerMeter * 0.0254), 65535);
    };
    const int x = dpi(source.dotsPerMeterX());
    const int y = dpi(source.dotsPerMeterY());
    jpeg[13] = 1;  // dots per inch
    jpeg[14] = char(x >> 8);
    jpeg[15] = char(x & 0xFF);
    jpeg[16] = char(y >> 8);
    jpeg[17] = char(y & 0xFF);
}

}  // namespace

bool encodeJpeg444(const QImage& image, QByteArray* jpeg, QString* error) {
    const QImage rgb = flattenOntoWhite(toSrgb(image)).convertToFormat(QImage::Format_RGB888);
    const std::unique_ptr<void, CompressorDeleter> compressor(tjInitCompress());
    if (!compressor) {
        *error = QString::fromLocal8Bit(tjGetErrorStr2(nullptr));
        return false;
    }
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    const int result = tjCompress2(compressor.get(), rgb.constBits(), rgb.width(),
                                   int(rgb.bytesPerLine()), rgb.height(), TJPF_RGB, &output,
                                   &outputSize, TJSAMP_444, kQuality, TJFLAG_ACCURATEDCT);
    const std::unique_ptr<unsigned char, BufferDeleter> owner(output);
    if (result != 0) {
        *error = QString::fromLocal8Bit(tjGetErrorStr2(compressor.get()));
        return false;
    }
    *jpeg = QByteArray(reinterpret_cast<const char*>(output), qsizetype(outputSize));
    writeJfifResolution(*jpeg, image);
    return true;
}

}  // namespace velloran::convert

// SPDX-License-Identifier: MIT
// The readers of HEIC/HEIF, AVIF, WebP and JPEG XL on any bytes: the first byte picks the
// reader, the rest is the file. Every outcome is a picture or a reported failure, never a
// crash, a sanitizer report or a hang.
#include "imageio/modern_format.h"
#include "imageio/modern_picture_loader.h"

#include <QByteArray>

#include <cstdint>
#include <new>

namespace {

// Below the program's 1024 MB: a header declaring a huge picture is refused the same way,
// and the fuzzer's memory stays within its own limit under the sanitizers.
constexpr qint64 kFuzzByteLimit = qint64(256) * 1024 * 1024;

constexpr ModernFormat kFormats[] = {ModernFormat::Heic, ModernFormat::Heif, ModernFormat::Avif,
                                     ModernFormat::WebP, ModernFormat::Jxl};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const ModernFormat format = kFormats[data[0] % std::size(kFormats)];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    try {
        const DecodedPicture picture = DecodeModernPicture(bytes, format, kFuzzByteLimit);
        // Every row a reader returns is there to be read.
        volatile quint32 sum = 0;
        for (int y = 0; y < picture.image.height(); y += 97) {
            sum = sum + picture.image.constScanLine(y)[0];
        }
    } catch (const std::bad_alloc&) {
    }
    return 0;
}

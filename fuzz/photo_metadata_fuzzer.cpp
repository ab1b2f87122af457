// SPDX-License-Identifier: MIT
// The metadata reader (exiv2 and the JPEG marker salvage) on any bytes: it never throws,
// crashes or trips a sanitizer, whatever the file holds.
#include "engine/jpeg_metadata_salvage.h"
#include "engine/photo_metadata.h"
#include "fuzz_input_file.h"

#include <QCoreApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzInputFile input("photo");
    static const QImage written = [] {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::gray);
        return image;
    }();
    const QString path = input.Write(data, size);
    if (path.isEmpty()) {
        return 0;
    }
    const PhotoMetadata metadata = ReadPhotoMetadata(path, written);
    const QByteArray markers = JpegMarkersWithoutExif(path);
    volatile qsizetype total = metadata.exif.size() + metadata.xmp.size() +
                               metadata.iptc.size() + metadata.icc.size() + markers.size();
    (void)total;
    return 0;
}

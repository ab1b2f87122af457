// SPDX-License-Identifier: MIT
// The converter's reader (its PNG and TIFF checks, the shared decoders and Qt's readers
// behind them) on any bytes: a picture or an error text, never a crash or sanitizer report.
#include "fuzz_input_file.h"
#include "image_input.h"

#include <QCoreApplication>

#include <tiffio.h>

#include <cstdint>
#include <new>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    // The converter silences libtiff's complaints on stderr; here they would only slow the
    // runs down.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzInputFile input("source");
    const QString path = input.Write(data, size);
    if (path.isEmpty()) {
        return 0;
    }
    QString error;
    try {
        const QImage image = velloran::convert::readImage(path, &error);
        // A null picture always comes with its reason.
        if (image.isNull() && error.isEmpty()) {
            __builtin_trap();
        }
    } catch (const std::bad_alloc&) {
    }
    return 0;
}

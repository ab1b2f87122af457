// SPDX-License-Identifier: MIT
// The picture loader on any bytes: every outcome is a picture or a VbError, never a crash,
// a sanitizer report or a hang.
#include "engine/picture_loader.h"
#include "fuzz_input_file.h"
#include "util/vb_error.h"

#include <QCoreApplication>
#include <QImageReader>

#include <cstdint>
#include <new>

namespace {

// Below the program's 1024 MB: a header declaring a huge picture is refused the same way,
// and the fuzzer's memory stays within its own limit under the sanitizers.
constexpr int kFuzzAllocationLimitMb = 256;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Qt's image plugins (icons) are found through the application's library paths.
    static QCoreApplication app(*argc, *argv);
    QImageReader::setAllocationLimit(kFuzzAllocationLimitMb);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzInputFile input("picture");
    const QString path = input.Write(data, size);
    if (path.isEmpty()) {
        return 0;
    }
    try {
        const QImage picture = LoadPicture(path);
        // Every row the loader returns is there to be read.
        volatile quint32 sum = 0;
        for (int y = 0; y < picture.height(); y += 97) {
            sum = sum + picture.constScanLine(y)[0];
        }
    } catch (const VbError&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}

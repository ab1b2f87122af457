// SPDX-License-Identifier: MIT
// The picture loader on any bytes: every outcome is a picture or a VbError, never a crash,
// a sanitizer report or a hang.
#include "engine/picture_loader.h"
#include "fuzz_input_file.h"
#include "util/vb_error.h"

#include <QCoreApplication>
#include <QImageReader>

#include <array>
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
    // A JPEG copied as JPEG is read as its blocks, which are then put into other steps:
    // whatever the file's coefficients, every value stays one an encoder can write.
    if (size > 2 && data[0] == 0xFF && data[1] == 0xD8) {
        try {
            LoadedPicture copy = LoadForCopy(path, true);
            if (copy.coefficients) {
                std::array<std::array<uint16_t, 64>, 3> steps{};
                for (size_t c = 0; c < 3; ++c) {
                    for (size_t k = 0; k < 64; ++k) {
                        steps[c][k] = uint16_t(1 + (k * 7 + c) % 40);
                    }
                }
                copy.coefficients->Requantise(steps);
            }
        } catch (const VbError&) {
        } catch (const std::bad_alloc&) {
        }
    }
    return 0;
}

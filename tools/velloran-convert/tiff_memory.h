// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <tiffio.h>

#include <memory>

namespace velloran::convert {

// A TIFF held in a byte array, as libtiff sees it through its client callbacks: read from
// `input`, or written into `output` at a position (libtiff seeks back to patch offsets).
struct TiffMemoryFile {
    const QByteArray* input = nullptr;
    QByteArray* output = nullptr;
    toff_t position = 0;
};

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Opens file->input for reading with the given options (may be null); null on failure.
TiffHandle openTiffReader(TiffMemoryFile* file, TIFFOpenOptions* options);
// Opens file->output for writing from its first byte (give it empty); null on failure.
TiffHandle openTiffWriter(TiffMemoryFile* file);

}  // namespace velloran::convert

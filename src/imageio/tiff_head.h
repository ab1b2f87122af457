// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/whole_file.h"

#include <QtGlobal>

#include <optional>

// The picture size the first directory of a TIFF file declares,
// read through bounded ranges wherever in the file that directory lies, so a huge file
// whose directory sits at its end is judged without reading what comes before.
struct TiffDeclaredSize {
    qint64 width = 0;
    qint64 height = 0;
    int bitsPerSample = 1;
};

// Nothing when the header or the directory cannot be read, or the directory lacks either
// side: those are left to the whole file's own check.
std::optional<TiffDeclaredSize> TiffFirstDirectorySize(const FileRangeReader& file);

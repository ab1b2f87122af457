// SPDX-License-Identifier: MIT
#pragma once

#include "engine/photo_metadata.h"

#include <QByteArray>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

// The APP markers that carry a photo's metadata in a JPEG file: APP1 EXIF, APP1 XMP,
// APP13 IPTC (inside a Photoshop resource block) and the APP2 ICC profile.
struct JpegMetadataMarkers {
    struct Marker {
        int code = 0;
        QByteArray payload;  // identifier and data, as the marker stores them
    };
    std::vector<Marker> markers;
    QByteArray icc;
};

// Builds the markers before encoding. A block too large for one marker is left out (a
// JPEG marker holds at most 65533 bytes; EXIF has no way to span more). Never throws.
JpegMetadataMarkers PrepareJpegMetadataMarkers(const PhotoMetadata& metadata);

// Writes the prepared markers; call right after jpeg_start_compress. It holds nothing
// that needs destroying, so a libjpeg error that jumps out of it skips no destructor.
void WriteJpegMetadataMarkers(jpeg_compress_struct* info, const JpegMetadataMarkers* markers);

// SPDX-License-Identifier: MIT
#include "engine/jpeg_metadata_markers.h"

#include <exiv2/exiv2.hpp>

namespace {

constexpr qsizetype kLargestMarker = 65533;
// libjpeg splits a profile over at most 255 APP2 markers of 65519 bytes each.
constexpr qsizetype kLargestProfile = qsizetype(255) * 65519;

void Add(JpegMetadataMarkers& out, int code, const QByteArray& identifier, const QByteArray& data) {
    if (data.isEmpty() || identifier.size() + data.size() > kLargestMarker) {
        return;
    }
    out.markers.push_back({code, identifier + data});
}

// IPTC travels in a JPEG as resource 0x0404 of a Photoshop image resource block.
QByteArray PhotoshopBlock(const QByteArray& iptc) {
    try {
        Exiv2::IptcData data;
        if (Exiv2::IptcParser::decode(data, reinterpret_cast<const Exiv2::byte*>(iptc.constData()),
                                      uint32_t(iptc.size())) != 0) {
            return {};
        }
        const Exiv2::DataBuf block = Exiv2::Photoshop::setIptcIrb(nullptr, 0, data);
        return QByteArray(reinterpret_cast<const char*>(block.pData_), qsizetype(block.size_));
    } catch (...) {
        return {};
    }
}

}  // namespace

JpegMetadataMarkers PrepareJpegMetadataMarkers(const PhotoMetadata& metadata) {
    JpegMetadataMarkers out;
    Add(out, JPEG_APP0 + 1, QByteArray("Exif\0\0", 6), metadata.exif);
    Add(out, JPEG_APP0 + 1, QByteArray("http://ns.adobe.com/xap/1.0/", 29), metadata.xmp);
    if (!metadata.iptc.isEmpty()) {
        Add(out, JPEG_APP0 + 13, QByteArray("Photoshop 3.0", 14), PhotoshopBlock(metadata.iptc));
    }
    if (metadata.icc.size() <= kLargestProfile) {
        out.icc = metadata.icc;
    }
    return out;
}

void WriteJpegMetadataMarkers(jpeg_compress_struct* info, const JpegMetadataMarkers* markers) {
    for (std::size_t i = 0; i < markers->markers.size(); ++i) {
        const JpegMetadataMarkers::Marker& marker = markers->markers[i];
        jpeg_write_marker(info, marker.code,
                          reinterpret_cast<const JOCTET*>(marker.payload.constData()),
                          unsigned(marker.payload.size()));
    }
    if (!markers->icc.isEmpty()) {
        jpeg_write_icc_profile(info, reinterpret_cast<const JOCTET*>(markers->icc.constData()),
                               unsigned(markers->icc.size()));
    }
}

// SPDX-License-Identifier: MIT
#include "engine/jpeg_metadata_salvage.h"

#include "imageio/jpeg_error_manager.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The markers come before the first scan; an ICC profile, the largest of them, holds
// at most 255 markers of 64 kB.
constexpr qint64 kLargestHeader = qint64(32) * 1024 * 1024;

struct MarkerReader {
    jpeg_decompress_struct info{};
    JpegErrorManager errors;

    MarkerReader() { errors.Attach(reinterpret_cast<j_common_ptr>(&info)); }
    ~MarkerReader() { jpeg_destroy_decompress(&info); }
    MarkerReader(const MarkerReader&) = delete;
    MarkerReader& operator=(const MarkerReader&) = delete;
};

// Holds only trivially destructible locals: libjpeg's errors jump back to its setjmp().
bool ReadHeader(MarkerReader* reader, const QByteArray* data) {
    if (setjmp(reader->errors.jump)) {
        return false;
    }
    jpeg_create_decompress(&reader->info);
    jpeg_mem_src(&reader->info, reinterpret_cast<const unsigned char*>(data->constData()),
                 static_cast<unsigned long>(data->size()));
    for (int app = 0; app < 16; ++app) {
        jpeg_save_markers(&reader->info, JPEG_APP0 + app, 0xFFFF);
    }
    jpeg_read_header(&reader->info, TRUE);
    return true;
}

bool IsExif(const jpeg_marker_struct* marker) {
    static constexpr char kExif[] = "Exif";
    return marker->marker == JPEG_APP0 + 1 && marker->data_length >= 4 &&
           QByteArray::fromRawData(reinterpret_cast<const char*>(marker->data), 4) == kExif;
}

}  // namespace

QByteArray JpegMarkersWithoutExif(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray data = file.read(kLargestHeader);
    MarkerReader reader;
    if (data.isEmpty() || !ReadHeader(&reader, &data)) {
        return {};
    }
    QByteArray stream("\xFF\xD8", 2);
    for (const jpeg_marker_struct* marker = reader.info.marker_list; marker; marker = marker->next) {
        if (IsExif(marker)) {
            continue;
        }
        const unsigned length = marker->data_length + 2;
        stream += char(0xFF);
        stream += char(marker->marker);
        stream += char(length >> 8);
        stream += char(length & 0xFF);
        stream += QByteArray::fromRawData(reinterpret_cast<const char*>(marker->data),
                                          qsizetype(marker->data_length));
    }
    stream += QByteArray("\xFF\xD9", 2);
    return stream;
}

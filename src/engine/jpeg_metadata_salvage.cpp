// SPDX-License-Identifier: MIT
#include "engine/jpeg_metadata_salvage.h"

#include "imageio/jpeg_error_manager.h"
#include "util/path_bytes.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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
    // Judged by the file opened: never a FIFO or a device.
    const int fd =
        ::open(PathBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    QFile file;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    // Asked for no more than the file holds: a buffer of the largest header for every file
    // would cost 32 MB of address space (and, under the sanitizers, its shadow) per read.
    const QByteArray data = file.read(std::min(file.size(), kLargestHeader));
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

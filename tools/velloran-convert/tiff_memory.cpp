// SPDX-License-Identifier: MIT
#include "tiff_memory.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace velloran::convert {

namespace {

TiffMemoryFile* fileOf(thandle_t handle) {
    return static_cast<TiffMemoryFile*>(handle);
}

const QByteArray& bytesOf(const TiffMemoryFile* file) {
    return file->output != nullptr ? *file->output : *file->input;
}

tsize_t readAt(thandle_t handle, tdata_t buffer, tsize_t size) {
    TiffMemoryFile* file = fileOf(handle);
    const QByteArray& data = bytesOf(file);
    const toff_t length = toff_t(data.size());
    if (size < 0 || file->position >= length)
        return 0;
    const toff_t n = std::min<toff_t>(toff_t(size), length - file->position);
    std::memcpy(buffer, data.constData() + file->position, size_t(n));
    file->position += n;
    return tsize_t(n);
}

tsize_t writeAt(thandle_t handle, tdata_t buffer, tsize_t size) {
    TiffMemoryFile* file = fileOf(handle);
    if (file->output == nullptr || size < 0)
        return file->output == nullptr ? 0 : -1;
    const toff_t end = file->position + toff_t(size);
    if (end > toff_t(std::numeric_limits<qsizetype>::max() / 2))
        return -1;
    QByteArray* data = file->output;
    if (qsizetype(end) > data->size()) {
        // libtiff is C: an exception may not cross it (nor leave TIFFClose in a destructor),
        // so out of memory is a failed write.
        try {
            // Doubling keeps the copying linear in the final size.
            if (qsizetype(end) > data->capacity())
                data->reserve(std::max(qsizetype(end), data->capacity() * 2));
            data->resize(qsizetype(end));
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    std::memcpy(data->data() + file->position, buffer, size_t(size));
    file->position = end;
    return size;
}

toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
    TiffMemoryFile* file = fileOf(handle);
    const toff_t base = whence == SEEK_CUR   ? file->position
                        : whence == SEEK_END ? toff_t(bytesOf(file).size())
                                             : 0;
    file->position = base + offset;
    return file->position;
}

int closeNothing(thandle_t) {
    return 0;
}

toff_t sizeOf(thandle_t handle) {
    return toff_t(bytesOf(fileOf(handle)).size());
}

TiffHandle open(TiffMemoryFile* file, const char* mode, TIFFOpenOptions* options) {
    file->position = 0;
    // "m": the callbacks read and write the array; nothing is memory-mapped.
    return TiffHandle(TIFFClientOpenExt("velloran-convert", mode, file, readAt, writeAt, seekTo,
                                        closeNothing, sizeOf, nullptr, nullptr, options));
}

}  // namespace

TiffHandle openTiffReader(TiffMemoryFile* file, TIFFOpenOptions* options) {
    return open(file, "rm", options);
}

TiffHandle openTiffWriter(TiffMemoryFile* file) {
    return open(file, "wm", nullptr);
}

}  // namespace velloran::convert

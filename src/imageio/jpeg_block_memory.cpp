// SPDX-License-Identifier: MIT
#include "imageio/jpeg_block_memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include <jerror.h>

namespace {

struct Buffer {
    void* data = nullptr;
    size_t bytes = 0;
};

std::mutex spareMutex;
std::vector<Buffer> spares;

// The smallest spare that holds `bytes` without wasting more than half of it. When none
// does, every spare is freed before the new buffer is had, so memory of another size is
// never held beside it.
Buffer TakeBuffer(size_t bytes) {
    std::vector<Buffer> unfit;
    {
        const std::lock_guard lock(spareMutex);
        auto best = spares.end();
        for (auto it = spares.begin(); it != spares.end(); ++it) {
            if (it->bytes >= bytes && it->bytes / 2 <= bytes &&
                (best == spares.end() || it->bytes < best->bytes)) {
                best = it;
            }
        }
        if (best != spares.end()) {
            const Buffer taken = *best;
            spares.erase(best);
            return taken;
        }
        unfit = std::exchange(spares, {});
    }
    for (const Buffer& buffer : unfit) {
        std::free(buffer.data);
    }
    return Buffer{std::malloc(bytes), bytes};
}

void GiveBack(Buffer buffer) {
    if (buffer.data == nullptr) {
        return;
    }
    {
        const std::lock_guard lock(spareMutex);
        size_t held = 0;
        for (const Buffer& spare : spares) {
            held += spare.bytes;
        }
        if (spares.size() < JpegBlockArrays::kMaxSpares &&
            buffer.bytes <= JpegBlockArrays::kMaxSpareBytes - held) {
            spares.push_back(buffer);
            return;
        }
    }
    std::free(buffer.data);
}

// Leaves through the codec's error manager, as libjpeg's own memory manager does.
[[noreturn]] void Fail(j_common_ptr codec, int code) {
    codec->err->msg_code = code;
    codec->err->msg_parm.i[0] = 0;
    (*codec->err->error_exit)(codec);
    std::abort();  // error_exit never returns
}

jvirt_barray_ptr RefuseRequest(j_common_ptr codec, int, boolean, JDIMENSION, JDIMENSION,
                               JDIMENSION) {
    Fail(codec, JERR_NOTIMPL);
}

}  // namespace

struct JpegBlockArrays::Array {
    JDIMENSION blocksPerRow = 0;
    JDIMENSION rows = 0;
    JDIMENSION maxAccess = 0;
    bool preZero = false;
    Buffer memory;
    std::vector<JBLOCKROW> rowPointers;  // one per row once realized
};

JpegBlockArrays::JpegBlockArrays() = default;

JpegBlockArrays::~JpegBlockArrays() {
    for (const std::unique_ptr<Array>& array : arrays_) {
        GiveBack(array->memory);
    }
}

void JpegBlockArrays::Install(jpeg_decompress_struct* decoder) {
    decoder->client_data = this;
    libjpegRealize_ = decoder->mem->realize_virt_arrays;
    decoder->mem->request_virt_barray = Request;
    decoder->mem->realize_virt_arrays = Realize;
    decoder->mem->access_virt_barray = Access;
}

void JpegBlockArrays::LendTo(jpeg_compress_struct* encoder) {
    encoder->mem->request_virt_barray = RefuseRequest;
    encoder->mem->access_virt_barray = Access;
}

void JpegBlockArrays::DropSpares() {
    std::vector<Buffer> unused;
    {
        const std::lock_guard lock(spareMutex);
        unused = std::exchange(spares, {});
    }
    for (const Buffer& buffer : unused) {
        std::free(buffer.data);
    }
}

// No exception may cross libjpeg, which is C: a failed allocation comes back as null.
JpegBlockArrays::Array* JpegBlockArrays::Add(JDIMENSION blocksPerRow, JDIMENSION rows,
                                             JDIMENSION maxAccess, bool preZero) noexcept {
    try {
        auto array = std::make_unique<Array>();
        array->blocksPerRow = blocksPerRow;
        array->rows = rows;
        array->maxAccess = maxAccess;
        array->preZero = preZero;
        arrays_.push_back(std::move(array));
        return arrays_.back().get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

size_t JpegBlockArrays::SpareCount() {
    const std::lock_guard lock(spareMutex);
    return spares.size();
}

size_t JpegBlockArrays::SpareBytes() {
    const std::lock_guard lock(spareMutex);
    size_t held = 0;
    for (const Buffer& spare : spares) {
        held += spare.bytes;
    }
    return held;
}

jvirt_barray_ptr JpegBlockArrays::Request(j_common_ptr codec, int pool, boolean preZero,
                                          JDIMENSION blocksPerRow, JDIMENSION rows,
                                          JDIMENSION maxAccess) {
    // The arrays live as long as this object, whatever pool libjpeg names.
    (void)pool;
    auto* self = static_cast<JpegBlockArrays*>(codec->client_data);
    Array* made = self->Add(blocksPerRow, rows, maxAccess, preZero != FALSE);
    if (made == nullptr) {
        Fail(codec, JERR_OUT_OF_MEMORY);
    }
    return reinterpret_cast<jvirt_barray_ptr>(made);
}

void JpegBlockArrays::Realize(j_common_ptr codec) {
    auto* self = static_cast<JpegBlockArrays*>(codec->client_data);
    (*self->libjpegRealize_)(codec);
    // The decoder's memory budget holds for these arrays as it held for libjpeg's own,
    // which refuses arrays beyond it (it has no backing store to spill them to). Fail()
    // jumps out of here, so the loop keeps only trivially destructible locals.
    const long budget = codec->mem->max_memory_to_use;
    size_t total = 0;
    for (const std::unique_ptr<Array>& array : self->arrays_) {
        const size_t rowBytes = size_t(array->blocksPerRow) * sizeof(JBLOCK);
        size_t bytes = 0;
        if (__builtin_mul_overflow(rowBytes, size_t(array->rows), &bytes) || bytes == 0) {
            Fail(codec, JERR_WIDTH_OVERFLOW);
        }
        total += bytes;
        if (budget > 0 && total > size_t(budget)) {
            Fail(codec, JERR_OUT_OF_MEMORY);
        }
        if (array->memory.data != nullptr) {
            continue;
        }
        array->memory = TakeBuffer(bytes);
        if (array->memory.data == nullptr || !PointRows(*array)) {
            Fail(codec, JERR_OUT_OF_MEMORY);
        }
        if (array->preZero) {
            std::memset(array->memory.data, 0, bytes);
        }
    }
}

bool JpegBlockArrays::PointRows(Array& array) noexcept {
    try {
        array.rowPointers.resize(array.rows);
    } catch (const std::bad_alloc&) {
        return false;
    }
    auto* rows = static_cast<JBLOCKROW>(array.memory.data);
    for (JDIMENSION row = 0; row < array.rows; ++row) {
        array.rowPointers[row] = rows + size_t(row) * array.blocksPerRow;
    }
    return true;
}

JBLOCKARRAY JpegBlockArrays::Access(j_common_ptr codec, jvirt_barray_ptr pointer,
                                    JDIMENSION startRow, JDIMENSION rows, boolean) {
    auto* array = reinterpret_cast<Array*>(pointer);
    if (array->rowPointers.empty() || rows > array->maxAccess ||
        uint64_t(startRow) + rows > array->rows) {
        Fail(codec, JERR_BAD_VIRTUAL_ACCESS);
    }
    return array->rowPointers.data() + startRow;
}

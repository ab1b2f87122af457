// SPDX-License-Identifier: MIT
#include "imageio/pixel_buffer_pool.h"

#include <cstdlib>
#include <mutex>

namespace pixel_buffer_pool {
namespace {

struct Block {
    uchar* data = nullptr;
    qsizetype bytes = 0;
};

std::mutex poolMutex;
Block spare;

Block Take(qsizetype bytes) {
    {
        const std::lock_guard lock(poolMutex);
        if (spare.data != nullptr && spare.bytes >= bytes && spare.bytes / 2 <= bytes) {
            return std::exchange(spare, Block());
        }
    }
    return Block{static_cast<uchar*>(std::malloc(size_t(bytes))), bytes};
}

void GiveBack(void* info) {
    Block* block = static_cast<Block*>(info);
    Block unused = *block;
    delete block;
    if (unused.bytes <= kMaxSpareBytes) {
        const std::lock_guard lock(poolMutex);
        // Keep the larger of the two: it fits more pictures.
        if (unused.bytes > spare.bytes) {
            std::swap(unused, spare);
        }
    }
    std::free(unused.data);
}

}  // namespace

QImage NewRgb32Image(int width, int height) {
    if (width <= 0 || height <= 0) {
        return QImage();
    }
    const qsizetype bytesPerLine = qsizetype(width) * 4;
    const Block block = Take(bytesPerLine * height);
    if (block.data == nullptr) {
        return QImage();
    }
    return QImage(block.data, width, height, bytesPerLine, QImage::Format_RGB32, GiveBack,
                  new Block(block));
}

}  // namespace pixel_buffer_pool

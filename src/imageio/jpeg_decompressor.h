// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/jpeg_block_memory.h"
#include "imageio/jpeg_error_manager.h"

#include <memory>

// A libjpeg decompressor with its error manager, destroyed with it.
struct JpegDecoder {
    jpeg_decompress_struct info{};
    JpegErrorManager errors;
    // Where a decoder read as blocks keeps them; destroyed after the decompressor.
    std::unique_ptr<JpegBlockArrays> blockArrays;

    JpegDecoder() { errors.Attach(reinterpret_cast<j_common_ptr>(&info)); }
    ~JpegDecoder() { jpeg_destroy_decompress(&info); }
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;
};

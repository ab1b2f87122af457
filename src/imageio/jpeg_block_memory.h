// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>

// The whole-picture block arrays of a JPEG read as its DCT blocks, in memory that outlives
// the picture so the next picture of a batch reuses it. libjpeg takes fresh memory for
// every picture, and fresh memory costs a page fault per 4 KB on first touch: 9,000 for a
// 12-megapixel picture's 36 MB of blocks, an eighth of decoding it. libjpeg lets its
// memory manager's methods be replaced; these arrays replace its virtual block arrays,
// which it only ever reaches through those methods.
//
// A few spare buffers are kept (kMaxSpares, at most kMaxSpareBytes in all): a batch
// alternates between the picture being written and the next one being read, each of three
// components, so steady state holds no more than those two pictures need anyway.
class JpegBlockArrays {
public:
    static constexpr size_t kMaxSpares = 6;
    static constexpr size_t kMaxSpareBytes = size_t(256) * 1024 * 1024;

    JpegBlockArrays();
    // Gives the arrays' memory back to the spares.
    ~JpegBlockArrays();
    JpegBlockArrays(const JpegBlockArrays&) = delete;
    JpegBlockArrays& operator=(const JpegBlockArrays&) = delete;

    // Makes `decoder` keep its block arrays here: call after jpeg_create_decompress and
    // before jpeg_read_coefficients; this object must outlive the decoder's use of them.
    void Install(jpeg_decompress_struct* decoder);

    // Lets `encoder` read arrays of this kind (jpeg_write_coefficients); an encoder that
    // asks for block arrays of its own then fails with libjpeg's error.
    static void LendTo(jpeg_compress_struct* encoder);

    // Frees the spare buffers, at the end of a run.
    static void DropSpares();
    // The spare buffers held now, and their bytes.
    static size_t SpareCount();
    static size_t SpareBytes();

    struct Array;

private:
    static jvirt_barray_ptr Request(j_common_ptr codec, int pool, boolean preZero,
                                    JDIMENSION blocksPerRow, JDIMENSION rows,
                                    JDIMENSION maxAccess);
    static void Realize(j_common_ptr codec);
    static JBLOCKARRAY Access(j_common_ptr codec, jvirt_barray_ptr array, JDIMENSION startRow,
                              JDIMENSION rows, boolean writable);

    Array* Add(JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess,
               bool preZero) noexcept;
    static bool PointRows(Array& array) noexcept;

    std::vector<std::unique_ptr<Array>> arrays_;
    void (*libjpegRealize_)(j_common_ptr) = nullptr;
};

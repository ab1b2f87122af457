// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace velloran::convert {

// Decodes one TIFF LZW strip (codes of 9 to 12 bits, most significant bit first, widths
// growing one code early) into exactly `size` bytes at `out`; codes beyond those bytes
// are not read. False, with `out` in any state, when the data is anything else: the old
// least-significant-bit-first kind, a code the table does not hold yet, a full table
// without its clear code, or an end before `size` bytes. The caller then decodes the
// strip with libtiff, which judges it. Reads only `in` .. `in + inSize`.
bool decodeLzwStrip(const unsigned char* in, std::size_t inSize, unsigned char* out,
                    std::size_t size);

}  // namespace velloran::convert

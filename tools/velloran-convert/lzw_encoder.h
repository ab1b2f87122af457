// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <cstddef>

namespace velloran::convert {

// Appends the bytes `data` .. `data + size` to `out` as one TIFF LZW strip: codes of 9 to
// 12 bits, most significant bit first, a clear code first and whenever the table is full,
// the end-of-information code last, code widths growing one code early as TIFF's LZW
// requires. Any TIFF reader decodes it to the same bytes as libtiff's own encoding, which
// it outruns (a table probed by a multiplicative hash instead of libtiff's open hashing
// with a secondary probe). Throws std::bad_alloc when `out` cannot grow.
void appendLzwStrip(const unsigned char* data, std::size_t size, QByteArray* out);

}  // namespace velloran::convert

// SPDX-License-Identifier: MIT
#include "lzw_decoder.h"

#include <cstdint>
#include <algorithm>
#include <cstring>

namespace velloran::convert {

namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEndOfInformation = 257;
constexpr unsigned kFirstFree = 258;
constexpr int kMinBits = 9;
constexpr int kMaxBits = 12;
constexpr unsigned kTableSize = 1u << kMaxBits;
constexpr std::size_t kShort = 16;

// A string of the table as the place in the strip's output where it was written first:
// every string is an earlier string and the byte that followed it there, so the table
// needs no bytes of its own and a string is copied, not walked through its prefixes.
struct Entry {
    std::uint32_t offset;
    std::uint32_t length;
};

struct BitReader {
    const unsigned char* in;
    std::size_t size;
    std::size_t at = 0;
    std::uint32_t pending = 0;
    int pendingBits = 0;
    // False when the data ends before `bits` more bits.
    bool read(int bits, unsigned* code) {
        while (pendingBits < bits) {
            if (at == size)
                return false;
            pending = (pending << 8) | in[at++];
            pendingBits += 8;
        }
        pendingBits -= bits;
        *code = (pending >> pendingBits) & ((1u << bits) - 1);
        return true;
    }
};

}  // namespace

bool decodeLzwStrip(const unsigned char* in, std::size_t inSize, unsigned char* out,
                    std::size_t size) {
    // The old kind starts with a clear code written least significant bit first.
    if (inSize >= 2 && in[0] == 0 && (in[1] & 1) != 0)
        return false;
    // Offsets within the output are 32-bit.
    if (size > UINT32_MAX)
        return false;
    Entry table[kTableSize];
    BitReader reader{in, inSize};
    std::size_t done = 0;
    unsigned nextCode = kFirstFree;
    int bits = kMinBits;
    bool afterClear = true;  // no previous string to extend
    Entry previous{0, 0};
    while (done < size) {
        unsigned code = 0;
        if (!reader.read(bits, &code) || code == kEndOfInformation)
            return false;
        if (code == kClear) {
            nextCode = kFirstFree;
            bits = kMinBits;
            afterClear = true;
            continue;
        }
        // A code the table does not hold yet is only valid as the one it adds now.
        if (code >= kFirstFree && (code > nextCode || (code == nextCode && afterClear)))
            return false;
        if (!afterClear) {
            if (nextCode >= kTableSize)
                return false;
            table[nextCode] = Entry{previous.offset, previous.length + 1};
            if (++nextCode >= (1u << bits) - 1 && bits < kMaxBits)
                ++bits;
        }
        const Entry string = code < 256 ? Entry{0, 1} : table[code];
        const std::size_t length = std::min<std::size_t>(string.length, size - done);
        if (code < 256) {
            out[done] = static_cast<unsigned char>(code);
        } else if (string.length <= kShort && string.offset + string.length <= done &&
                   done + kShort <= size) {
            // Most strings are short: one fixed-size copy through a buffer (the bytes it
            // writes past the string are the next strings' place and written again).
            unsigned char bytes[kShort];
            std::memcpy(bytes, out + string.offset, kShort);
            std::memcpy(out + done, bytes, kShort);
        } else if (string.offset + string.length <= done) {
            std::memcpy(out + done, out + string.offset, length);
        } else {
            // The code just added: the previous string and its own first byte, which
            // the copy has written by the time it reads it.
            for (std::size_t i = 0; i < length; ++i)
                out[done + i] = out[string.offset + i];
        }
        previous = Entry{std::uint32_t(done), string.length};
        done += length;
        afterClear = false;
    }
    return true;
}

}  // namespace velloran::convert

// SPDX-License-Identifier: MIT
#include "lzw_encoder.h"

#include <array>
#include <memory>
#include <cstdint>
#include <cstring>

namespace velloran::convert {

namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEndOfInformation = 257;
constexpr unsigned kFirstFree = 258;
constexpr int kMinBits = 9;
constexpr int kMaxBits = 12;
// The table is started afresh when its next code would be 4094, as libtiff does, so no code
// ever needs more than 12 bits even with the early width change.
constexpr unsigned kTableFull = (1u << kMaxBits) - 2;

// At most 3836 entries in 8192 entries: short linear probes.
constexpr int kHashBits = 14;
constexpr std::uint32_t kEmpty = 0xffffffffu;

// An entry holds its string's prefix code and last byte above its own code.
struct Table {
    std::array<std::uint32_t, 1u << kHashBits> entries;
    void clear() { entries.fill(kEmpty); }
    static std::uint32_t slotOf(std::uint32_t key) {
        return (key * 2654435761u) >> (32 - kHashBits);
    }
};

// Codes packed most significant bit first.
struct BitWriter {
    unsigned char* out;
    std::uint32_t pending = 0;
    int pendingBits = 0;
    void put(unsigned code, int bits) {
        pending = (pending << bits) | code;
        pendingBits += bits;
        while (pendingBits >= 8) {
            pendingBits -= 8;
            *out++ = static_cast<unsigned char>(pending >> pendingBits);
        }
    }
    void flush() {
        if (pendingBits > 0)
            *out++ = static_cast<unsigned char>(pending << (8 - pendingBits));
        pendingBits = 0;
    }
};

}  // namespace

void appendLzwStrip(const unsigned char* data, std::size_t size, QByteArray* out) {
    // Every byte emits at most one code, as does every restart of the table (one per 3836
    // bytes at least); with the first clear, the last code and the end, 12 bits each.
    const std::size_t codes = size + size / (kTableFull - kFirstFree) + 4;
    const std::size_t bound = codes * kMaxBits / 8 + 2;
    const qsizetype start = out->size();
    out->resize(start + qsizetype(bound));
    BitWriter writer{reinterpret_cast<unsigned char*>(out->data()) + start};

    auto table = std::make_unique<Table>();
    table->clear();
    int bits = kMinBits;
    unsigned nextCode = kFirstFree;
    writer.put(kClear, bits);
    if (size > 0) {
        unsigned prefix = data[0];
        for (std::size_t i = 1; i < size; ++i) {
            const unsigned byte = data[i];
            const std::uint32_t key = (prefix << 8) | byte;
            std::uint32_t slot = Table::slotOf(key);
            bool found = false;
            for (;;) {
                const std::uint32_t entry = table->entries[slot];
                if (entry == kEmpty)
                    break;
                if ((entry >> kMaxBits) == key) {
                    prefix = entry & ((1u << kMaxBits) - 1);
                    found = true;
                    break;
                }
                slot = (slot + 1) & ((1u << kHashBits) - 1);
            }
            if (found)
                continue;
            writer.put(prefix, bits);
            prefix = byte;
            table->entries[slot] = (key << kMaxBits) | nextCode;
            if (++nextCode == kTableFull) {
                writer.put(kClear, bits);
                table->clear();
                nextCode = kFirstFree;
                bits = kMinBits;
            } else if (nextCode > (1u << bits) - 1) {
                ++bits;
            }
        }
        writer.put(prefix, bits);
        // The reader adds an entry for this code too: its width may have grown with it, or
        // the table be full and need its clear code, as within the strip.
        if (++nextCode == kTableFull) {
            writer.put(kClear, bits);
            bits = kMinBits;
        } else if (nextCode > (1u << bits) - 1) {
            ++bits;
        }
    }
    writer.put(kEndOfInformation, bits);
    writer.flush();
    out->resize(writer.out - reinterpret_cast<unsigned char*>(out->data()));
}

}  // namespace velloran::convert

// SPDX-License-Identifier: MIT
#include "imageio/av1_sequence.h"

#include "imageio/bit_reader.h"

namespace {

constexpr int kSequenceHeader = 1;

// A LEB128 number of at most 8 bytes; false when it runs past `data`.
bool ReadLeb128(QByteArrayView data, qsizetype* at, quint64* value) {
    *value = 0;
    for (int i = 0; i < 8; ++i) {
        if (*at >= data.size()) {
            return false;
        }
        const uchar byte = uchar(data[(*at)++]);
        *value |= quint64(byte & 0x7F) << (7 * i);
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return true;
}

}  // namespace

std::optional<CodedSize> Av1SequenceHeaderSize(QByteArrayView payload) {
    BitReader bits(payload);
    bits.Bits(3);             // seq_profile
    bits.Bits(1);             // still_picture
    if (bits.Bits(1) != 0) {  // reduced_still_picture_header
        bits.Bits(5);         // seq_level_idx[0]
    } else {
        bool decoderModel = false;
        int delayBits = 0;
        if (bits.Bits(1) != 0) {      // timing_info_present_flag
            bits.Bits(64);            // num_units_in_display_tick, time_scale
            if (bits.Bits(1) != 0) {  // equal_picture_interval
                bits.Uvlc();
            }
            decoderModel = bits.Bits(1) != 0;
            if (decoderModel) {
                delayBits = int(bits.Bits(5)) + 1;  // buffer_delay_length_minus_1
                bits.Bits(32 + 5 + 5);
            }
        }
        const bool displayDelay = bits.Bits(1) != 0;
        const int points = int(bits.Bits(5)) + 1;
        for (int i = 0; i < points && !bits.overrun(); ++i) {
            bits.Bits(12);           // operating_point_idc
            if (bits.Bits(5) > 7) {  // seq_level_idx
                bits.Bits(1);        // seq_tier
            }
            if (decoderModel && bits.Bits(1) != 0) {
                bits.Bits(2 * delayBits + 1);
            }
            if (displayDelay && bits.Bits(1) != 0) {
                bits.Bits(4);
            }
        }
    }
    const int widthBits = int(bits.Bits(4)) + 1;
    const int heightBits = int(bits.Bits(4)) + 1;
    const quint64 width = bits.Bits(widthBits) + 1;
    const quint64 height = bits.Bits(heightBits) + 1;
    if (bits.overrun()) {
        return std::nullopt;
    }
    return CodedSize{qint64(width), qint64(height)};
}

QList<CodedSize> Av1StreamSizes(QByteArrayView obus) {
    QList<CodedSize> sizes;
    for (qsizetype at = 0; at < obus.size();) {
        const uchar header = uchar(obus[at++]);
        const int type = (header >> 3) & 0xF;
        if (header & 0x04) {  // obu_extension_flag
            ++at;
        }
        quint64 length = 0;
        if (header & 0x02) {  // obu_has_size_field
            if (!ReadLeb128(obus, &at, &length)) {
                break;
            }
        } else {
            length = at < obus.size() ? quint64(obus.size() - at) : 0;
        }
        if (at > obus.size() || length > quint64(obus.size() - at)) {
            break;
        }
        if (type == kSequenceHeader) {
            if (const std::optional<CodedSize> size =
                    Av1SequenceHeaderSize(obus.sliced(at, qsizetype(length)))) {
                sizes.append(*size);
            }
        }
        at += qsizetype(length);
    }
    return sizes;
}

// SPDX-License-Identifier: MIT
#include "imageio/hevc_sps.h"

#include "imageio/bit_reader.h"

#include <QByteArray>

namespace {

constexpr int kSpsType = 33;
// An SPS is a few dozen bytes; its sizes come within its first ones.
constexpr qsizetype kSpsBytesRead = 256;

int NalType(QByteArrayView nal) {
    return nal.size() >= 2 ? (uchar(nal[0]) >> 1) & 0x3F : -1;
}

// The payload without its emulation-prevention bytes (00 00 03 stands for 00 00).
QByteArray RawPayload(QByteArrayView nal) {
    QByteArray raw;
    int zeros = 0;
    for (qsizetype i = 2; i < nal.size() && raw.size() < kSpsBytesRead; ++i) {
        const char byte = nal[i];
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        zeros = byte == 0 ? zeros + 1 : 0;
        raw.append(byte);
    }
    return raw;
}

quint64 BigEndian(QByteArrayView data, qsizetype at, int bytes) {
    quint64 value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = value << 8 | uchar(data[at + i]);
    }
    return value;
}

}  // namespace

std::optional<CodedSize> HevcSpsSize(QByteArrayView nal) {
    if (NalType(nal) != kSpsType) {
        return std::nullopt;
    }
    const QByteArray raw = RawPayload(nal);
    BitReader bits(raw);
    bits.Bits(4);  // sps_video_parameter_set_id
    const int subLayers = int(bits.Bits(3));
    bits.Bits(1);  // sps_temporal_id_nesting_flag
    // profile_tier_level: the general profile and level, then what each sub-layer has.
    bits.Bits(96);
    bool profilePresent[8] = {};
    bool levelPresent[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profilePresent[i] = bits.Bits(1) != 0;
        levelPresent[i] = bits.Bits(1) != 0;
    }
    if (subLayers > 0) {
        bits.Bits(2 * (8 - subLayers));
    }
    for (int i = 0; i < subLayers; ++i) {
        bits.Bits((profilePresent[i] ? 88 : 0) + (levelPresent[i] ? 8 : 0));
    }
    bits.ExpGolomb();             // sps_seq_parameter_set_id
    if (bits.ExpGolomb() == 3) {  // chroma_format_idc
        bits.Bits(1);             // separate_colour_plane_flag
    }
    const quint64 width = bits.ExpGolomb();
    const quint64 height = bits.ExpGolomb();
    if (bits.overrun()) {
        return std::nullopt;
    }
    return CodedSize{qint64(width), qint64(height)};
}

QList<CodedSize> HevcConfigSizes(QByteArrayView hvcC, int* lengthBytes) {
    QList<CodedSize> sizes;
    *lengthBytes = 0;
    if (hvcC.size() < 23) {
        return sizes;
    }
    *lengthBytes = (uchar(hvcC[21]) & 3) + 1;
    const int arrays = uchar(hvcC[22]);
    qsizetype at = 23;
    for (int a = 0; a < arrays && at + 3 <= hvcC.size(); ++a) {
        const quint64 units = BigEndian(hvcC, at + 1, 2);
        at += 3;
        for (quint64 u = 0; u < units && at + 2 <= hvcC.size(); ++u) {
            const qsizetype length = qsizetype(BigEndian(hvcC, at, 2));
            at += 2;
            if (length > hvcC.size() - at) {
                return sizes;
            }
            if (const std::optional<CodedSize> size = HevcSpsSize(hvcC.sliced(at, length))) {
                sizes.append(*size);
            }
            at += length;
        }
    }
    return sizes;
}

QList<CodedSize> HevcStreamSizes(QByteArrayView data, int lengthBytes) {
    QList<CodedSize> sizes;
    if (lengthBytes < 1 || lengthBytes > 4) {
        return sizes;
    }
    for (qsizetype at = 0; at + lengthBytes <= data.size();) {
        const quint64 length = BigEndian(data, at, lengthBytes);
        at += lengthBytes;
        if (length > quint64(data.size() - at)) {
            break;
        }
        if (const std::optional<CodedSize> size = HevcSpsSize(data.sliced(at, qsizetype(length)))) {
            sizes.append(*size);
        }
        at += qsizetype(length);
    }
    return sizes;
}

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// Reads a coded stream's header bits, most significant first, never past its bytes: a
// read beyond them gives 0 and marks the reader as overrun, so a cut header is noticed
// once at the end of its parse.
class BitReader {
public:
    explicit BitReader(QByteArrayView bytes) : bytes_(bytes) {}

    quint64 Bits(int count) {
        quint64 value = 0;
        for (int i = 0; i < count; ++i) {
            value = value << 1 | Bit();
        }
        return value;
    }

    // An unsigned Exp-Golomb number, ue(v); an overrun past 32 leading zeros.
    quint64 ExpGolomb() {
        int zeros = 0;
        while (!overrun_ && Bit() == 0) {
            if (++zeros > 32) {
                overrun_ = true;
            }
        }
        return overrun_ ? 0 : (quint64(1) << zeros) - 1 + Bits(zeros);
    }

    // AV1's uvlc(): as ue(v), 32 leading zeros or more giving 2^32 - 1.
    quint64 Uvlc() {
        int zeros = 0;
        while (!overrun_ && Bit() == 0) {
            ++zeros;
        }
        if (zeros >= 32) {
            return (quint64(1) << 32) - 1;
        }
        return (quint64(1) << zeros) - 1 + Bits(zeros);
    }

    bool overrun() const { return overrun_; }

private:
    quint64 Bit() {
        if (position_ >= quint64(bytes_.size()) * 8) {
            overrun_ = true;
            return 0;
        }
        const quint64 bit =
            quint64(uchar(bytes_[qsizetype(position_ / 8)]) >> (7 - position_ % 8)) & 1;
        ++position_;
        return bit;
    }

    QByteArrayView bytes_;
    quint64 position_ = 0;
    bool overrun_ = false;
};

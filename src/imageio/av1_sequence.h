// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/coded_size.h"

#include <QByteArrayView>
#include <QList>

#include <optional>

// The largest frame AV1 sequence headers declare (max_frame_width_minus_1 + 1 by
// max_frame_height_minus_1 + 1), read before a decoder allocates by them. A HEIF picture
// carries a sequence header in its av1C property and usually another in its own data; the
// decoder goes by the one in the data, so every one is read.

// The size one sequence header OBU's payload declares; nothing when it is cut short.
std::optional<CodedSize> Av1SequenceHeaderSize(QByteArrayView payload);

// The sizes of the sequence headers among a run of OBUs (an av1C box's configOBUs, or a
// picture's data). A run whose OBUs carry no sizes holds one OBU to its end.
QList<CodedSize> Av1StreamSizes(QByteArrayView obus);

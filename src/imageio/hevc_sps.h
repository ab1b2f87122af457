// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/coded_size.h"

#include <QByteArrayView>
#include <QList>

#include <optional>

// The picture sizes HEVC sequence parameter sets declare, read before a decoder allocates
// by them. A HEIF picture carries its parameter sets in its hvcC property and may carry
// more in its own data: the decoder goes by whichever comes last, so every one is read.

// The size of one SPS NAL unit (with its two-byte header); nothing for another NAL unit
// or an SPS cut short.
std::optional<CodedSize> HevcSpsSize(QByteArrayView nal);

// The sizes of the SPS units in an hvcC box's payload, and the byte count of the length
// before each NAL unit of the picture's data (`lengthBytes`, 0 when the box is cut).
QList<CodedSize> HevcConfigSizes(QByteArrayView hvcC, int* lengthBytes);

// The sizes of the SPS units among a picture's NAL units, each led by its length in
// `lengthBytes` bytes.
QList<CodedSize> HevcStreamSizes(QByteArrayView data, int lengthBytes);

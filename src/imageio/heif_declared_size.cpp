// SPDX-License-Identifier: MIT
#include "imageio/heif_declared_size.h"

#include "imageio/av1_sequence.h"
#include "imageio/heif_boxes.h"
#include "imageio/hevc_sps.h"

#include <QtEndian>

#include <algorithm>
#include <optional>

namespace {

// Coded pictures are whole coding blocks, cropped to the ispe afterwards: up to 64 x 64
// in HEVC (a small picture is coded as at least one), 128 x 128 superblocks in AV1.
constexpr qint64 kCodingPadding = 128;

DecodedPicture TooLarge(qint64 width, qint64 height) {
    DecodedPicture result;
    result.tooLarge = true;
    result.failure = QStringLiteral("%1 x %2 pixels").arg(width).arg(height);
    return result;
}

std::optional<CodedSize> ImageSpatialExtent(const HeifItems& items, quint32 item,
                                            const QByteArray& file) {
    const std::optional<HeifItems::Span> ispe = items.PropertyOf(item, "ispe");
    // A full box: version and flags, then the two sides.
    if (!ispe || ispe->size < 12) {
        return std::nullopt;
    }
    const char* at = file.constData() + ispe->offset + 4;
    return CodedSize{qFromBigEndian<quint32>(at), qFromBigEndian<quint32>(at + 4)};
}

// The output size a grid item's data declares.
std::optional<CodedSize> GridOutput(const HeifItems& items, quint32 item, const QByteArray& file) {
    const std::optional<QByteArray> grid = items.DataOf(item, file);
    if (!grid || grid->size() < 8) {
        return std::nullopt;
    }
    const bool wide = (uchar(grid->at(1)) & 1) != 0;
    if (!wide) {
        return CodedSize{qFromBigEndian<quint16>(grid->constData() + 4),
                         qFromBigEndian<quint16>(grid->constData() + 6)};
    }
    if (grid->size() < 12) {
        return std::nullopt;
    }
    return CodedSize{qFromBigEndian<quint32>(grid->constData() + 4),
                     qFromBigEndian<quint32>(grid->constData() + 8)};
}

QByteArrayView View(const QByteArray& file, HeifItems::Span span) {
    return QByteArrayView(file.constData() + span.offset, qsizetype(span.size));
}

// Every size the item's coded stream declares, in its configuration and in its data.
// `scanBytes` is what may still be read of items' data; it is taken from.
QList<CodedSize> StreamSizes(const HeifItems& items, quint32 item, const QByteArray& file,
                             qint64* scanBytes) {
    QList<CodedSize> sizes;
    std::optional<QByteArray> data = items.DataOf(item, file);
    if (data) {
        *scanBytes -= data->size();
        if (*scanBytes < 0) {
            data.reset();
        }
    }
    if (const std::optional<HeifItems::Span> hvcC = items.PropertyOf(item, "hvcC")) {
        int lengthBytes = 0;
        sizes << HevcConfigSizes(View(file, *hvcC), &lengthBytes);
        if (data) {
            sizes << HevcStreamSizes(*data, lengthBytes);
        }
    }
    if (const std::optional<HeifItems::Span> av1C = items.PropertyOf(item, "av1C")) {
        // Four bytes of configuration, then the OBUs.
        if (av1C->size > 4) {
            sizes << Av1StreamSizes(View(file, HeifItems::Span{av1C->offset + 4, av1C->size - 4}));
        }
        if (data) {
            sizes << Av1StreamSizes(*data);
        }
    }
    return sizes;
}

}  // namespace

DecodedPicture CheckHeifSize(const QByteArray& head, qint64 byteLimit) {
    const std::optional<HeifItems> items = ReadHeifItems(head);
    if (!items || byteLimit <= 0) {
        return {};
    }
    for (const auto& size :
         {ImageSpatialExtent(*items, items->primary, head),
          items->types.value(items->primary) == "grid" ? GridOutput(*items, items->primary, head)
                                                       : std::nullopt}) {
        if (size && !FitsByteLimit(size->width, size->height, kHeifExtraBytesPerPixel, byteLimit)) {
            return TooLarge(size->width, size->height);
        }
    }
    return {};
}

DecodedPicture CheckHeifStreams(const QByteArray& data, qint64 byteLimit) {
    const std::optional<HeifItems> items = ReadHeifItems(data);
    if (!items) {
        return {};
    }
    // The primary picture, its alpha (or depth) picture, and the tiles of each.
    QList<quint32> decoded{items->primary};
    for (auto it = items->auxiliaries.cbegin(); it != items->auxiliaries.cend(); ++it) {
        if (it.value().contains(items->primary)) {
            decoded << it.key();
        }
    }
    for (qsizetype i = 0, pictures = decoded.size(); i < pictures; ++i) {
        decoded << items->pictures.value(decoded[i]);
    }
    // A grid may name one tile many times; it is read once.
    std::sort(decoded.begin(), decoded.end());
    decoded.erase(std::unique(decoded.begin(), decoded.end()), decoded.end());
    // Honest pictures' data do not overlap: together they are no larger than the file.
    qint64 scanBytes = data.size();
    for (const quint32 item : decoded) {
        // libheif allocates a grid's picture by the output size its data declares.
        if (items->types.value(item) == "grid") {
            const std::optional<CodedSize> output = GridOutput(*items, item, data);
            if (output &&
                !FitsByteLimit(output->width, output->height, kHeifExtraBytesPerPixel, byteLimit)) {
                return TooLarge(output->width, output->height);
            }
        }
        const std::optional<CodedSize> ispe = ImageSpatialExtent(*items, item, data);
        const QList<CodedSize> sizes = StreamSizes(*items, item, data, &scanBytes);
        if (scanBytes < 0) {
            DecodedPicture result;
            result.damaged = true;
            result.failure = QStringLiteral("its pictures' data overlap");
            return result;
        }
        for (const CodedSize& coded : sizes) {
            const bool beyondExtent = ispe && (coded.width > ispe->width + kCodingPadding ||
                                               coded.height > ispe->height + kCodingPadding);
            const bool beyondLimit =
                byteLimit > 0 &&
                ExceedsBytes(coded.width, coded.height, kHeifExtraBytesPerPixel, byteLimit);
            if (beyondExtent || beyondLimit) {
                return TooLarge(coded.width, coded.height);
            }
        }
    }
    return {};
}

// SPDX-License-Identifier: MIT
#include "imageio/heif_boxes.h"

#include <algorithm>

namespace {

using Span = HeifItems::Span;

// Reads big-endian fields of a box's payload; a read past its end gives 0 and marks the
// reader as cut, so a short box is noticed once after its parse.
class Fields {
public:
    Fields(const QByteArray& file, Span span)
        : file_(file), at_(span.offset), end_(span.offset + span.size) {}

    quint64 Get(int bytes) {
        if (bytes < 0 || bytes > 8 || end_ - at_ < bytes) {
            cut_ = true;
            at_ = end_;
            return 0;
        }
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i) {
            value = value << 8 | uchar(file_[qsizetype(at_ + i)]);
        }
        at_ += bytes;
        return value;
    }
    QByteArray Type() {
        if (end_ - at_ < 4) {
            cut_ = true;
            return {};
        }
        at_ += 4;
        return file_.mid(qsizetype(at_ - 4), 4);
    }
    qint64 at() const { return at_; }
    qint64 left() const { return end_ - at_; }
    bool cut() const { return cut_; }

private:
    const QByteArray& file_;
    qint64 at_;
    qint64 end_;
    bool cut_ = false;
};

struct Box {
    QByteArray type;
    Span payload;
};

// The boxes inside `span`, each wholly inside it; a box that runs past it ends the list.
QList<Box> Children(const QByteArray& file, Span span) {
    QList<Box> boxes;
    qint64 at = span.offset;
    const qint64 end = span.offset + span.size;
    while (end - at >= 8) {
        Fields header(file, Span{at, end - at});
        quint64 size = header.Get(4);
        const QByteArray type = header.Type();
        if (size == 1) {
            size = header.Get(8);
        } else if (size == 0) {
            size = quint64(end - at);
        }
        const qint64 headerBytes = header.at() - at;
        if (header.cut() || size < quint64(headerBytes) || size > quint64(end - at)) {
            break;
        }
        boxes.append(Box{type, Span{header.at(), qint64(size) - headerBytes}});
        at += qint64(size);
    }
    return boxes;
}

// A full box's payload after its version and flags.
Span AfterVersion(Span payload) {
    return Span{payload.offset + 4, std::max<qint64>(payload.size - 4, 0)};
}

void ReadItemInfos(const QByteArray& file, Span payload, HeifItems* items) {
    Fields fields(file, payload);
    const int version = int(fields.Get(1));
    fields.Get(3);
    fields.Get(version == 0 ? 2 : 4);  // entry_count: the boxes that follow say it
    for (const Box& infe : Children(file, Span{fields.at(), fields.left()})) {
        if (infe.type != "infe") {
            continue;
        }
        Fields entry(file, infe.payload);
        const int entryVersion = int(entry.Get(1));
        entry.Get(3);
        if (entryVersion < 2) {
            continue;
        }
        const quint32 id = quint32(entry.Get(entryVersion == 2 ? 2 : 4));
        entry.Get(2);  // item_protection_index
        const QByteArray type = entry.Type();
        if (!entry.cut()) {
            items->types.insert(id, type);
        }
    }
}

void ReadReferences(const QByteArray& file, Span payload, HeifItems* items) {
    Fields fields(file, payload);
    const int idBytes = fields.Get(1) == 0 ? 2 : 4;
    fields.Get(3);
    for (const Box& reference : Children(file, Span{fields.at(), fields.left()})) {
        QHash<quint32, QList<quint32>>* into = reference.type == "dimg"   ? &items->pictures
                                               : reference.type == "auxl" ? &items->auxiliaries
                                                                          : nullptr;
        if (into == nullptr) {
            continue;
        }
        Fields entry(file, reference.payload);
        const quint32 from = quint32(entry.Get(idBytes));
        const quint64 count = entry.Get(2);
        for (quint64 i = 0; i < count && !entry.cut(); ++i) {
            const quint32 to = quint32(entry.Get(idBytes));
            if (!entry.cut()) {
                (*into)[from].append(to);
            }
        }
    }
}

void ReadProperties(const QByteArray& file, Span payload, HeifItems* items) {
    for (const Box& box : Children(file, payload)) {
        if (box.type == "ipco") {
            for (const Box& property : Children(file, box.payload)) {
                items->properties.append(HeifItems::Property{property.type, property.payload});
            }
        } else if (box.type == "ipma") {
            Fields fields(file, box.payload);
            const int version = int(fields.Get(1));
            const bool wideIndex = (fields.Get(3) & 1) != 0;
            const quint64 entries = fields.Get(4);
            for (quint64 e = 0; e < entries && !fields.cut(); ++e) {
                const quint32 item = quint32(fields.Get(version < 1 ? 2 : 4));
                const int count = int(fields.Get(1));
                for (int a = 0; a < count && !fields.cut(); ++a) {
                    const int index =
                        wideIndex ? int(fields.Get(2) & 0x7FFF) : int(fields.Get(1) & 0x7F);
                    if (!fields.cut() && index > 0) {
                        items->associations[item].append(index);
                    }
                }
            }
        }
    }
}

void ReadLocations(const QByteArray& file, Span payload, HeifItems* items) {
    Fields fields(file, payload);
    const int version = int(fields.Get(1));
    fields.Get(3);
    const int sizes = int(fields.Get(2));
    const int offsetBytes = sizes >> 12 & 0xF;
    const int lengthBytes = sizes >> 8 & 0xF;
    const int baseBytes = sizes >> 4 & 0xF;
    const int indexBytes = version == 0 ? 0 : sizes & 0xF;
    const quint64 count = fields.Get(version < 2 ? 2 : 4);
    for (quint64 i = 0; i < count && !fields.cut(); ++i) {
        const quint32 item = quint32(fields.Get(version < 2 ? 2 : 4));
        int method = 0;
        if (version > 0) {
            method = int(fields.Get(2) & 0xF);
        }
        fields.Get(2);  // data_reference_index
        const quint64 base = fields.Get(baseBytes);
        // Fields of no width take no bytes: such extents are counted once, not 65535 times.
        const qint64 extentBytes = indexBytes + offsetBytes + lengthBytes;
        const quint64 extents =
            std::min<quint64>(fields.Get(2), extentBytes == 0 ? 1 : fields.left() / extentBytes);
        HeifItems::Location location;
        location.inIdat = method == 1;
        location.fromItems = method > 1;
        for (quint64 e = 0; e < extents && !fields.cut(); ++e) {
            fields.Get(indexBytes);
            const quint64 offset = base + fields.Get(offsetBytes);
            const quint64 length = fields.Get(lengthBytes);
            // Offsets beyond any file are kept as such: the data is then not found.
            constexpr quint64 kFar = quint64(1) << 62;
            location.extents.append(
                HeifItems::Extent{qint64(std::min(offset, kFar)), qint64(std::min(length, kFar))});
        }
        if (!fields.cut()) {
            items->locations.insert(item, location);
        }
    }
}

}  // namespace

std::optional<HeifItems::Span> HeifItems::PropertyOf(quint32 item, const char* type) const {
    for (const int index : associations.value(item)) {
        if (index <= properties.size() && properties[index - 1].type == type) {
            return properties[index - 1].payload;
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> HeifItems::DataOf(quint32 item, const QByteArray& file) const {
    const auto location = locations.constFind(item);
    if (location == locations.cend() || location->fromItems || (location->inIdat && !idat)) {
        return std::nullopt;
    }
    const qint64 start = location->inIdat ? idat->offset : 0;
    const qint64 end = location->inIdat ? idat->offset + idat->size : file.size();
    QList<Span> pieces;
    qint64 total = 0;
    for (const Extent& extent : location->extents) {
        if (extent.offset > end - start) {
            return std::nullopt;
        }
        const qint64 from = start + extent.offset;
        const qint64 length = extent.length == 0 ? end - from : extent.length;
        // Extents may name the same bytes again and again: joined, they never exceed the
        // file they come from.
        if (length > end - from || length > file.size() - total) {
            return std::nullopt;
        }
        total += length;
        pieces.append(Span{from, length});
    }
    if (pieces.size() == 1) {
        return QByteArray::fromRawData(file.constData() + pieces[0].offset,
                                       qsizetype(pieces[0].size));
    }
    QByteArray data;
    data.reserve(qsizetype(total));
    for (const Span& piece : pieces) {
        data.append(file.constData() + piece.offset, qsizetype(piece.size));
    }
    return data;
}

std::optional<HeifItems> ReadHeifItems(const QByteArray& file) {
    std::optional<Span> meta;
    for (const Box& box : Children(file, Span{0, file.size()})) {
        if (box.type == "meta") {
            meta = AfterVersion(box.payload);
            break;
        }
    }
    if (!meta) {
        return std::nullopt;
    }
    HeifItems items;
    for (const Box& box : Children(file, *meta)) {
        if (box.type == "pitm") {
            Fields fields(file, box.payload);
            const int version = int(fields.Get(1));
            fields.Get(3);
            items.primary = quint32(fields.Get(version == 0 ? 2 : 4));
        } else if (box.type == "iinf") {
            ReadItemInfos(file, box.payload, &items);
        } else if (box.type == "iref") {
            ReadReferences(file, box.payload, &items);
        } else if (box.type == "iprp") {
            ReadProperties(file, box.payload, &items);
        } else if (box.type == "iloc") {
            ReadLocations(file, box.payload, &items);
        } else if (box.type == "idat") {
            items.idat = box.payload;
        }
    }
    return items;
}

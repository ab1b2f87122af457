// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <optional>

// What a HEIF file's meta box says about its items, read from the file's bytes (or its
// first ones) without libheif: which item is the primary picture, each item's type, its
// properties and references, and where its data lies. Offsets are the file's own, so the
// same reading works on a head and on the whole file.
struct HeifItems {
    struct Span {
        qint64 offset = 0;
        qint64 size = 0;
    };
    struct Extent {
        qint64 offset = 0;  // from the file's start, or from idat's payload (in idat)
        qint64 length = 0;  // 0: to the end of the file
    };
    struct Location {
        bool inIdat = false;
        bool fromItems = false;  // built from other items' data: not read here
        QList<Extent> extents;
    };
    struct Property {
        QByteArray type;
        Span payload;  // after the box header (and a full box's version and flags)
    };

    quint32 primary = 0;
    QHash<quint32, QByteArray> types;
    QList<Property> properties;                  // ipco's, in order (indices from 1)
    QHash<quint32, QList<int>> associations;     // item -> property indices
    QHash<quint32, QList<quint32>> pictures;     // "dimg": grid or overlay -> inputs
    QHash<quint32, QList<quint32>> auxiliaries;  // "auxl": auxiliary -> its masters
    QHash<quint32, Location> locations;
    std::optional<Span> idat;

    // The payload of the item's first property of `type`, when there is one.
    std::optional<Span> PropertyOf(quint32 item, const char* type) const;
    // The item's data, joined from its extents, when all of it lies inside `file`; a
    // single extent is not copied, so `file` must outlive what this returns.
    std::optional<QByteArray> DataOf(quint32 item, const QByteArray& file) const;
};

// Reads the top-level meta box of `file` (a whole file or its head). Nothing when the
// bytes hold no whole meta box: a head that ends before it cannot be judged.
std::optional<HeifItems> ReadHeifItems(const QByteArray& file);

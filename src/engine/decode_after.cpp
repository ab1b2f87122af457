// SPDX-License-Identifier: MIT
#include "engine/decode_after.h"

#include "engine/decode_ahead.h"
#include "engine/input_conversion.h"
#include "engine/picture_loader.h"
#include "util/paths.h"

#include <QImage>
#include <QStringList>

#include <algorithm>
#include <optional>

void DecodeAfter(DecodeAhead& decoder, const std::function<QString(int)>& entryAt,
                 const std::function<int()>& liveCount, int i, int count) noexcept {
    try {
        const int last = std::min(count, liveCount());
        QStringList upcoming;
        for (int j = i + 1; j <= last && upcoming.size() < decoder.workers(); ++j) {
            const QString path = entryAt(j);
            if (!NeedsInputConversion(LowerExtension(path))) {
                upcoming << path;
            }
        }
        // A source through the converter is read late, from the converter's output: the
        // workers need not wait for that.
        const QString current = i <= last ? entryAt(i) : QString();
        decoder.Prefetch(NeedsInputConversion(LowerExtension(current)) ? QString() : current,
                         upcoming);
    } catch (...) {
    }
}

QImage LoadForStamping(DecodeAhead* decoder, const QString& path) {
    if (decoder != nullptr) {
        if (std::optional<QImage> picture = decoder->Take(path)) {
            return std::move(*picture);
        }
    }
    return LoadPicture(path);
}

// SPDX-License-Identifier: MIT
#include "engine/decode_after.h"

#include "engine/decode_ahead.h"
#include "engine/input_conversion.h"
#include "engine/picture_loader.h"
#include "imageio/modern_format.h"
#include "util/paths.h"

#include <QImage>
#include <QScopeGuard>
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
            // The workers decode only what Qt's readers take: today's formats would hold
            // a worker's place for nothing.
            if (!NeedsInputConversion(LowerExtension(path)) && !ModernFormatOfName(path)) {
                upcoming << path;
            }
        }
        // A source through the converter is read late, from the converter's output: the
        // workers need not wait for that.
        const QString current = i <= last ? entryAt(i) : QString();
        decoder.Prefetch(NeedsInputConversion(LowerExtension(current)) ? QString() : current,
                         upcoming, true);
    } catch (...) {
    }
}

LoadedPicture LoadForStamping(DecodeAhead* decoder, const QString& path, bool planes) {
    if (decoder == nullptr) {
        return LoadForCopy(path, planes);
    }
    if (std::optional<LoadedPicture> picture = decoder->TakeLoaded(path);
        picture && (planes || !picture->HasPlanes())) {
        return std::move(*picture);
    }
    // The workers wait while this thread loads, so two large pictures are never decoded
    // at once.
    const auto resume = qScopeGuard([decoder] { decoder->Loaded(); });
    return LoadForCopy(path, planes);
}

// SPDX-License-Identifier: MIT
#include "engine/entry_stamp_text.h"

#include "engine/stamp_settings.h"
#include "util/paths.h"

namespace {

constexpr int kFileNameMode = 4;
constexpr int kFileNameWithoutExtensionMode = 5;
constexpr int kFullPathMode = 6;

}  // namespace

bool StampsEntryName(int mode) {
    return mode == kFileNameMode || mode == kFileNameWithoutExtensionMode ||
           mode == kFullPathMode;
}

QString EntryStampText(int mode, const QString& entryPath, const QString& currentText) {
    switch (mode) {
        case kFileNameMode:
            return FileNameFromPath(entryPath);
        case kFileNameWithoutExtensionMode:
            return StripExtension(FileNameFromPath(entryPath));
        case kFullPathMode:
            return entryPath;
        default:
            return currentText;
    }
}

QString EntryStampText(const StampSettings& settings, const QString& entryPath) {
    return EntryStampText(settings.mode, entryPath, settings.text);
}

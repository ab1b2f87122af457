// SPDX-License-Identifier: MIT
#include "engine/stamp_source.h"

#include "core/canvas.h"
#include "engine/collecting_dialogs.h"
#include "engine/converter_progress.h"
#include "engine/entry_road.h"
#include "util/error_trap.h"
#include "util/temp_folder.h"

#include <utility>

struct SourceStamper::State {
    QString tempFolder;
    NoConverterProgress silent;
    ConverterProgress* progress = nullptr;
    DecodeAhead* ahead = nullptr;
    Canvas canvas;
};

SourceStamper::SourceStamper(QString tempFolder, ConverterProgress* progress, DecodeAhead* ahead)
    : state_(std::make_unique<State>()) {
    state_->tempFolder = std::move(tempFolder);
    state_->progress = progress != nullptr ? progress : &state_->silent;
    state_->ahead = ahead;
}

SourceStamper::~SourceStamper() = default;

QList<SourceStamper::Failure> SourceStamper::Stamp(const QString& source,
                                                   const StampSettings& settings,
                                                   int fileCount,
                                                   const SourceTextFunction& sourceText) {
    CollectingDialogs dialogs;
    // The road's own steps are the caller's: whoever shows them names its own handler.
    ErrorTrap trap(dialogs, QString());
    // Canvas and settings are this call's own: nothing is shared with another stamper.
    ApplyStampFont(state_->canvas, settings);
    const QString tempFolder = state_->tempFolder;
    const EntryRoad road{state_->canvas,
                         dialogs,
                         *state_->progress,
                         [tempFolder] {
                             // A path built from an empty folder would name the root folder.
                             RequireFolder(tempFolder);
                             return tempFolder;
                         },
                         [&settings] { return settings; },
                         [fileCount] { return fileCount; },
                         state_->ahead,
                         sourceText};
    StampSourceSteps(trap, road, source);
    return dialogs.failures();
}

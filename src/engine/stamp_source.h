// SPDX-License-Identifier: MIT
#pragma once

#include "engine/collecting_dialogs.h"
#include "engine/entry_road.h"
#include "engine/stamp_settings.h"

#include <QList>
#include <QString>

#include <memory>

class ConverterProgress;
class DecodeAhead;

// Stamps sources one call at a time without a window: what "Start Stamping" does for one
// entry, the same steps in the same order (EntryRoad), the same bytes written, the same
// failures. Use one SourceStamper per thread: each owns its canvas and its temporary
// folder, so several stamp at the same time without sharing state. Call StartEngine()
// once, on the main thread, before the first stamper starts.
class SourceStamper {
public:
    // One failing step as a value (see StepFailure).
    using Failure = StepFailure;

    // tempFolder: a private folder of this stamper alone (the converter and its
    // intermediate JPEG live there); must exist. progress: where converter waits show,
    // null for none. ahead: pictures decoded ahead (see DecodeAfter), null for none.
    explicit SourceStamper(QString tempFolder, ConverterProgress* progress = nullptr,
                           DecodeAhead* ahead = nullptr);
    ~SourceStamper();
    SourceStamper(const SourceStamper&) = delete;
    SourceStamper& operator=(const SourceStamper&) = delete;

    // Stamps `settings.text` onto `source` and writes the copy into
    // `settings.outputFolder` under the source's file name, in its format. The text is
    // taken as given: for the file-name modes the caller fills it in (EntryStampText).
    // With `sourceText`, the text is what it makes of the facts of the source's metadata
    // instead (a template's {taken}, {exif:...}); the metadata is read once, for the text
    // and the copy alike. `fileCount` only scales the progress shown during converter waits.
    // Returns the failures in the order the window would show them; empty when the copy
    // was written. A failure does not always mean nothing was written (the window, too,
    // writes a copy without its stamp when only the drawing failed).
    QList<Failure> Stamp(const QString& source, const StampSettings& settings,
                         int fileCount = 1, const SourceTextFunction& sourceText = {});

private:
    struct State;
    std::unique_ptr<State> state_;
};

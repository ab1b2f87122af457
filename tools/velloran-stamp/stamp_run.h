// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_settings.h"
#include "json_line.h"
#include "source_list.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class PhotoFacts;

// One source of the run with what is decided before the first picture: where its copy
// goes and whether it is left alone.
struct PlannedSource {
    Source source;
    QByteArray output;  // the copy's path in its own bytes
    bool skip = false;  // --skip-existing found the copy, or a later source takes its name
    QString note;       // why it is skipped, when that is worth a line on standard error
};

struct RunOptions {
    int jobs = 1;
    bool dryRun = false;
    QByteArray outputFolder;  // absolute, in its own bytes
    QString workFolder;       // private to this run; the stampers' temporary folders go here
    int listSize = 0;         // the whole list's size, for the converter's progress share
    // The stamp text of a source from the facts its road read (null when it is not
    // stamped); called from several threads at once.
    std::function<QString(const Source&, const PhotoFacts*)> textFor;
};

// Stamps the planned sources on `jobs` threads, each with a stamper of its own, and hands
// every finished source to `report` (called on one thread at a time, in the order the
// sources finish). No source starts once StopRequested() is true. Returns the number of
// sources that failed.
int RunPlannedSources(const std::vector<PlannedSource>& planned, const StampSettings& settings,
                      const RunOptions& options,
                      const std::function<void(const SourceReport&, int done)>& report);

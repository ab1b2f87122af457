// SPDX-License-Identifier: MIT
#pragma once

#include "engine/run_plan.h"
#include "engine/stamp_settings.h"
#include "json_line.h"
#include "source_list.h"

#include <QString>

#include <functional>
#include <vector>

class PhotoFacts;

// One source of the run with the engine's plan for it.
struct PlannedSource {
    Source source;
    PlannedCopy copy;
    QString mirroredFolder;  // the folders below the output folder its copy goes into
    QString note;  // why a source is not stamped, for standard error and the JSON record
};

// Which time a finished copy is given: the time of its writing, its source's modification
// time or the date the photo was taken.
enum class KeepTime { No, Modified, Taken };

struct RunOptions {
    int jobs = 1;
    bool dryRun = false;
    KeepTime keepTime = KeepTime::No;
    QString outputFolder;  // the folder the mirrored folders are made in
    QString workFolder;  // private to this run; the stampers' temporary folders go here
    int listSize = 0;    // the whole list's size, for the converter's progress share
    // The stamp text of a source from the facts its road read (null when it is not
    // stamped); called from several threads at once.
    std::function<QString(const Source&, const PhotoFacts*)> textFor;
};

// Stamps the planned sources on `jobs` threads, each with a stamper of its own, and hands
// every finished source to `report` (called on one thread at a time, in the order the
// sources finish). No source starts once StopRequested() is true.
void RunPlannedSources(const std::vector<PlannedSource>& planned, const StampSettings& settings,
                       const RunOptions& options,
                       const std::function<void(const SourceReport&)>& report);

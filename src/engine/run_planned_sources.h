// SPDX-License-Identifier: MIT
#pragma once

#include "engine/run_plan.h"
#include "engine/stamp_settings.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class PhotoFacts;

// One picture of a run's list. Paths are PathText: a Linux file name need not be UTF-8,
// and its bytes travel unchanged through the engine and back into reports.
struct ListedSource {
    QString given;     // as the user named it, or as a folder scan found it
    RunSource run;     // the full path (which the file-name modes stamp) and its folder
    int position = 0;  // 1-based place in the whole list
};

// One source of the run with the engine's plan for it.
struct PlannedSource {
    ListedSource source;
    PlannedCopy copy;
    QString mirroredFolder;  // the folders below the output folder its copy goes into
    QString note;  // why a source is not stamped, for the report
};

// The plan of a listed run: PlanRun's copy for each source that `keep` holds, with the
// mirrored folders it needs and, for a clash, a note that says which source makes the same
// copy. A copy that would replace its source is planned as any other; the caller decides.
std::vector<PlannedSource> PlanListedSources(const std::vector<ListedSource>& sources,
                                             const RunPlanChoices& choices,
                                             const std::function<bool(const ListedSource&)>& keep);

enum class SourceStatus { Ok, Error, Skipped };

// What became of one source: a program's reports (a line, a JSON record, counts) are
// written from this value, never from a message box's text.
struct SourceReport {
    QByteArray source;  // a path in its own bytes
    QByteArray output;
    SourceStatus status = SourceStatus::Ok;
    std::optional<QString> error;  // the engine's own text
    int code = 0;                  // the error number of the first failure, 0 for none
    QString text;                  // the stamp text for this source
    qint64 ms = 0;
    bool dryRun = false;
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
    std::function<QString(const ListedSource&, const PhotoFacts*)> textFor;
    // Read before each source: once true, no source starts.
    std::function<bool()> stopRequested = [] { return false; };
};

// Stamps the planned sources on `jobs` threads, each with a stamper of its own, and hands
// every finished source to `report` (called on one thread at a time, in the order the
// sources finish).
void RunPlannedSources(const std::vector<PlannedSource>& planned, const StampSettings& settings,
                       const RunOptions& options,
                       const std::function<void(const SourceReport&)>& report);

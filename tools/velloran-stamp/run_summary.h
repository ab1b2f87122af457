// SPDX-License-Identifier: MIT
#pragma once

#include "json_line.h"

#include <QByteArray>
#include <QString>

// What a run did, counted from its reports, for the line it ends with on standard error.
struct RunSummary {
    int stamped = 0;
    int failed = 0;
    int skipped = 0;
    int leftOut = 0;  // files a folder scan left out by their extension
    int planned = 0;  // sources this run (this shard) was to handle

    void Count(const SourceReport& report);
    int done() const { return stamped + failed + skipped; }

    // "12 stamped, 1 failed, 2 skipped, 3 left out by --ext"; the parts that are 0 are left
    // out, but for "stamped".
    QString Text(bool dryRun) const;
    // After an interruption: how much is done and the command that finishes the job
    // (`argv` with --skip-existing added once), quoted for a POSIX shell.
    QByteArray InterruptedText(int argc, char* argv[]) const;
};

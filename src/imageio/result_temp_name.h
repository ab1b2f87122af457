// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <optional>

// Who wrote a temporary result file. A process id means something only on the kernel that
// gave it out and in the pid namespace it was given in; the name carries all three, so a
// leftover is judged abandoned only where its writer's life can really be checked.
struct ResultWriter {
    QByteArray kernel;         // 16 lower-case hex digits standing for one boot of one machine
    quint64 pidNamespace = 0;  // the inode of the writer's pid namespace
    qint64 pid = 0;            // the writer's process id inside that namespace

    bool operator==(const ResultWriter&) const = default;
};

// This process as a writer. `known` is false when the boot id or the pid namespace cannot
// be read; the kernel part is then random, so no leftover ever matches it.
struct ThisResultWriter {
    ResultWriter writer;
    bool known = false;
};
ThisResultWriter ThisWriter();

// ".velloran-<kernel>-<namespace>-<pid>-<six of a-z 0-9>" with ".<extension>" when the
// extension is 1 to 16 letters or digits (anything else is left out).
QByteArray ResultTempName(const ResultWriter& writer, const QByteArray& letters,
                          const QByteArray& extension);

// The writer of a name made by ResultTempName, or nothing when the name does not follow
// that pattern in every character.
std::optional<ResultWriter> ParseResultTempName(const QByteArray& name);

// True when `name` is a temporary result written on this machine since its last start, in
// this pid namespace, by a process other than this one that no longer runs.
bool IsAbandonedResultTempName(const QByteArray& name);

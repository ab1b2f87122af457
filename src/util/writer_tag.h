// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <optional>

// Who made a file or folder that lives only while its maker runs (a temporary result, a
// run's work folder). A process id means something only on the kernel that gave it out and
// in the pid namespace it was given in; the tag carries all three, so a leftover is judged
// abandoned only where its maker's life can really be checked.
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

// Six random characters of a-z and 0-9: the part of a tag that tells one made thing of a
// process from its others.
QByteArray RandomTagLetters();

// "<kernel>-<namespace>-<pid>-<six of a-z 0-9>".
QByteArray WriterTag(const ResultWriter& writer, const QByteArray& letters);

// The writer of a tag made by WriterTag, or nothing when the text does not follow that
// pattern in every character.
std::optional<ResultWriter> ParseWriterTag(const QByteArray& tag);

// True when the writer is a process of this machine since its last start, of this pid
// namespace, other than this one, that no longer runs.
bool IsEndedWriter(const ResultWriter& writer);

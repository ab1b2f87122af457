// SPDX-License-Identifier: MIT
#pragma once

#include "util/writer_tag.h"

#include <QByteArray>

#include <optional>

// ".velloran-<kernel>-<namespace>-<pid>-<six of a-z 0-9>" (the writer's tag, writer_tag.h)
// with ".<extension>" when the extension is 1 to 16 letters or digits (anything else is
// left out).
QByteArray ResultTempName(const ResultWriter& writer, const QByteArray& letters,
                          const QByteArray& extension);

// The writer of a name made by ResultTempName, or nothing when the name does not follow
// that pattern in every character.
std::optional<ResultWriter> ParseResultTempName(const QByteArray& name);

// True when `name` is a temporary result written on this machine since its last start, in
// this pid namespace, by a process other than this one that no longer runs.
bool IsAbandonedResultTempName(const QByteArray& name);

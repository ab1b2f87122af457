// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

class ConverterProgress;

// Starts a command line as a child process and waits until it has ended, keeping the
// user interface alive: every 100 ms poll yields (progress.Yield()) several times. The
// poll's sleep ends when the child ends, so a call lasts as long as the child, and at
// least one whole poll.
//
// The child runs in a process group of its own and dies with this process, however this
// process ends (SIGKILL too): no conversion goes on writing after its program has gone.
//
// The first item of the command line (split as a shell splits it) is the program. The
// window style (0 to 6; missing or out of range means 6) is checked but has no effect
// here. While the progress shows (see ConverterProgress), from the 50th poll it reads
// "<barText>, Please wait.. <n>" ("Please wait.. <n>" when barText is empty), and every
// 150 polls its value moves on by a tenth of one file's share, capped below the end of
// that share; afterwards the bar shows barText again ("Progress Bar" when empty).
// A file count of 0 then raises VbError 11; the child is ended before the error leaves.
//
// Returns the child's exit code; 128 + the signal number when a signal ended it; and
// 53 + 0x80040000 (a negative number) at once when it cannot be started. When
// childError is given it receives the last non-empty line the child wrote to its
// standard error (or why it could not be started, or which signal ended it). When polls
// is given it receives the number of 100 ms polls the wait took (0 when nothing started).
// What RunAndWait returns when the child cannot be started: 53 + 0x80040000.
inline constexpr qint32 kRunAndWaitStartFailed = qint32(0x80040000u) + 53;

qint32 RunAndWait(const QString& commandLine, std::optional<int> windowStyle,
                  ConverterProgress& progress,
                  const QString& barText, int barValue, int fileCount,
                  QString* childError = nullptr, int* polls = nullptr);

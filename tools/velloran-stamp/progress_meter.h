// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

// A one-line progress bar with the time left, redrawn in place on a terminal. It draws
// only when its stream is a terminal (a log file or a pipe gets nothing) and at most a
// few times a second. Not thread-safe: the caller serialises the calls.
class ProgressMeter {
public:
    ProgressMeter(std::FILE* stream, int total, bool wanted);

    // `done` sources finished; `current` is the name shown after the numbers.
    void Update(int done, const QString& current);
    // Clears the line, so messages that follow start on a clean line.
    void Clear();

    bool active() const { return active_; }

    // The line for a terminal `columns` wide (exposed for tests).
    static QString Line(int done, int total, qint64 elapsedMs, const QString& current, int columns);

private:
    std::FILE* stream_;
    int total_;
    bool active_;
    bool drawn_ = false;
    QElapsedTimer sinceStart_;
    QElapsedTimer sinceDraw_;
};

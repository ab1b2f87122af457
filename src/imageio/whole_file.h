// SPDX-License-Identifier: MIT
#pragma once

#include "util/vb_error.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Why a whole-file read failed; a caller with texts of its own (the converter) maps it.
enum class ReadFailure { Missing, Denied, Folder, NotRegular, TooLarge, Empty, System };

// A VbError raised by ReadWholeFile, with its cause and the system's error number (0 when
// the system reported none).
class WholeFileError : public VbError {
public:
    WholeFileError(ReadFailure failure, int systemError, int number, QString description)
        : VbError(number, std::move(description)), failure_(failure), systemError_(systemError) {}
    ReadFailure failure() const { return failure_; }
    int systemError() const { return systemError_; }

private:
    ReadFailure failure_;
    int systemError_;
};

// Reads the whole file at `path`: opened without blocking and judged by the opened file
// itself (fstat), so a FIFO or a device put at the path, even between a check and the
// open, is never read. A file that grows while it is read is cut at the size first seen.
// `limitBytes` bounds the file's size (0: no bound).
// A descriptor path (/proc/self/fd/N) is read through that descriptor from its start.
//
// Throws WholeFileError: 53 "File not found: "<path>"" for a missing file; otherwise
// "Cannot read "<path>": <reason>" with 70 when reading is not permitted, 7 for a file
// above the limit, 481 for an empty file and 75 for a folder, anything but a regular file
// or a failure of the system (its own text).
QByteArray ReadWholeFile(const QString& path, qint64 limitBytes);

// Looks at a file's first bytes and its size before the whole file is read; throws to
// refuse it.
using FileHeadCheck = std::function<void(const QByteArray& head, qint64 fileSize)>;

// ReadWholeFile, but a file larger than `headBytes` is first read only that far and handed
// to `checkHead`: a picture that its header shows to be too large is refused for the cost
// of its head, not of the whole file. What checkHead throws goes to the caller.
QByteArray ReadWholeFile(const QString& path, qint64 limitBytes, qint64 headBytes,
                         const FileHeadCheck& checkHead);

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

// Bounded reads at any place of the file a head check looks at, through the descriptor the
// whole-file reader opened (never a name): for a header whose parts lie past the head,
// such as a TIFF directory at the end of the file.
class FileRangeReader {
public:
    // The most one read returns, and the most all reads of one check return together.
    static constexpr qint64 kMaxRangeBytes = qint64(1) << 20;
    static constexpr qint64 kMaxTotalBytes = qint64(4) << 20;

    virtual ~FileRangeReader() = default;
    // The file's size when it was opened; no read goes beyond it.
    virtual qint64 fileSize() const = 0;
    // Up to `length` bytes from `offset`, fewer where the file ends or where the bounds
    // above are reached (empty once the total is spent); throws WholeFileError when the
    // system fails the read.
    virtual QByteArray readAt(qint64 offset, qint64 length) const = 0;
};

using FileHeadRangeCheck = std::function<void(const QByteArray& head, const FileRangeReader& file)>;

// ReadWholeFile, but a file larger than `headBytes` is first read only that far and handed
// to `checkHead`: a picture that its header shows to be too large is refused for the cost
// of its head, not of the whole file. What checkHead throws goes to the caller.
QByteArray ReadWholeFile(const QString& path, qint64 limitBytes, qint64 headBytes,
                         const FileHeadCheck& checkHead);
// The same, with a check that may also read bounded ranges beyond the head.
QByteArray ReadWholeFile(const QString& path, qint64 limitBytes, qint64 headBytes,
                         const FileHeadRangeCheck& checkHead);

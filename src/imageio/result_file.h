// SPDX-License-Identifier: MIT
#pragma once

#include "util/unique_fd.h"
#include "util/vb_error.h"

#include <QIODevice>
#include <QString>

// Why a result file could not be written; callers with error texts of their own map it.
enum class ResultFailure { FolderMissing, IsFolder, NotWritable, ForeignLink, DiskFull, Other };

// A VbError raised by a result write, with its cause.
class ResultFileError : public VbError {
public:
    ResultFileError(ResultFailure failure, int number, const QString& path, QString reason)
        : VbError(number, QStringLiteral("Cannot write \"%1\": %2").arg(path, reason)),
          failure_(failure),
          reason_(std::move(reason)) {}
    ResultFailure failure() const { return failure_; }
    // The description without the path: "the disk is full", "it is a folder", ...
    const QString& reason() const { return reason_; }

private:
    ResultFailure failure_;
    QString reason_;
};

// Throws the ResultFileError for a write of `path` that failed with errno `error`: 61 for
// a full disk, 70 when it may not be written, 75 otherwise.
[[noreturn]] void ThrowWriteError(const QString& path, int error);

// A result file written under a short temporary name in the folder of its final name and
// renamed onto that name only when complete: a crash, a full disk or a failed conversion
// never leaves half a file under a final name, and whatever stood there stays as it was.
// A symbolic link on the way, at the final name or at any folder of the path, is followed
// only when it belongs to the user or to root (link_rule_walk.h): in a folder others can
// write to, a link of theirs would otherwise redirect the write into any folder or onto
// any file of the user. Such a link is refused before anything is written. Destroying the
// object before Commit() removes the temporary file.
//
// Every failure throws ResultFileError with "Cannot write "<path>": <reason>": 76 when the
// folder does not exist, 70 when it may not be written or a link on the way belongs to
// another user, 61 when the disk is full (ENOSPC, EDQUOT), 75 otherwise.
class ResultFile : public QIODevice {
public:
    // Creates the temporary file with O_CREAT | O_EXCL | O_NOFOLLOW. Its name keeps the
    // final name's extension (when short), so a program choosing a format by the name
    // chooses the same one; it stays far below 255 bytes whatever the final name is.
    explicit ResultFile(const QString& path);
    ~ResultFile() override;
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;

    // The path asked for.
    const QString& path() const { return path_; }
    // The file the rename replaces: the path with the links on the way followed.
    const QString& targetPath() const { return targetPath_; }
    // Where the bytes are written until Commit().
    const QString& temporaryPath() const { return temporaryPath_; }

    // Ends writing through this device. The descriptor stays open until Commit(): later
    // steps (the converter) read and rewrite the file through it, never by its name.
    void Finish();
    // Finishes when still open, puts the file on disk, then renames it onto targetPath(),
    // but only while the temporary name still holds the file this object created: in a
    // folder others may write to without the sticky bit, another user may swap in a link
    // or a file of theirs, which is refused (70) and never keeps the final name. Where the
    // file system can, the rename exchanges the two names at once (or refuses to replace
    // a name that appeared meanwhile), so a swap in the instant before it is undone with
    // the earlier file back under the final name.
    void Commit();
    // The descriptor of the temporary file (read and write), -1 once committed.
    int descriptor() const { return fd_.get(); }
    // The temporary file's whole content read through the descriptor; nothing when it
    // cannot be read or is larger than 2 GB.
    QByteArray ReadBack() const;
    // The errno of the first failed write(), 0 when none failed.
    int writeError() const { return writeError_; }
    // Raises the error behind a failed write().
    [[noreturn]] void RaiseWriteError() const;

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    [[noreturn]] void Fail(int error) const;
    [[noreturn]] void RefuseReplaced() const;
    bool NameHoldsThisFile(const QByteArray& name) const;
    bool NameHolds(const QByteArray& name, quint64 device, quint64 inode) const;
    bool ExchangeIntoPlace();
    void RenameIntoPlace();

    QString path_;
    QString targetPath_;
    QString temporaryPath_;
    QByteArray targetName_;
    QByteArray temporaryName_;
    // Held so that a constructor that throws part-way closes them.
    UniqueFd folderFd_;
    UniqueFd fd_;
    int writeError_ = 0;
    quint64 device_ = 0;
    quint64 inode_ = 0;
    bool committed_ = false;
};

// Throws the ResultFileError that writing a result into `folder` would raise because of the
// way to it: 70 ("it goes through ..., a link that belongs to another user") when a
// component of the path is a link of another user, 76 when the folder does not exist,
// 75 otherwise. A program checks its output folder with it before a run.
void CheckResultFolder(const QString& folder);

// The prefix of every temporary result name (the whole pattern: result_temp_name.h); a
// leftover of a process that no longer runs here is removed the first time a result is
// written into its folder.
inline constexpr char kResultTempPrefix[] = ".velloran-";

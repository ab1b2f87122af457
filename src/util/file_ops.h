// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// File attribute bits as the rest of the program knows them.
namespace attr {
inline constexpr int kReadOnly = 1;  // not writable by the user
inline constexpr int kHidden = 2;    // name begins with "."
inline constexpr int kSystem = 4;    // never set on Linux
inline constexpr int kDirectory = 16;
inline constexpr int kArchive = 32;         // every regular file
inline constexpr int kReparsePoint = 1024;  // symbolic link
}  // namespace attr

// The attribute bits of a path; throws VbError 53 when it does not exist.
int FileAttributes(const QString& path);

// Deletes the file; every failure is ignored. The engine's steps that call it yield to
// the window first (ConverterProgress::Yield), as the window's handlers always have.
void DeleteFileForced(const QString& path);
// Deletes a file even when it is write-protected; throws VbError on failure.
void DeleteFileViaScripting(const QString& path);
// Writes the bytes from the first byte of the file, creating it when missing; an
// existing longer file keeps its bytes beyond the new length. Throws VbError.
void WriteBytesToFile(const QByteArray& bytes, const QString& path);

// Writes all the bytes to a descriptor, going on after interrupted writes. Returns 0, or
// the errno of the failure (ENOSPC when the system wrote nothing).
int WriteAll(int fd, const char* data, qint64 size);

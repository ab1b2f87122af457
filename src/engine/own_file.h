// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>

// A program file of the user's own in a private folder (the converter the engine runs):
// checked before use, and written afresh when it is anything but what it should be.

// True when the path is a regular file of the user with exactly these permission bits and
// bytes. Links are not followed, and nothing but a regular file is opened.
bool IsOwnFileHolding(const QString& path, const QByteArray& bytes, int mode);
// Removes what stands at the path (a link itself, never its target) and creates a new
// file there with O_CREAT | O_EXCL | O_NOFOLLOW holding the bytes, with the given
// permission bits. Throws VbError: 61 when the disk is full, 70 or 75 otherwise.
void ReplaceWithNewFile(const QString& path, const QByteArray& bytes, int mode);

// Held while a program file is open for writing and while a child process is started. A
// child forked by another thread keeps a copy of every open descriptor until its exec, so
// a program written meanwhile would fail to start with "text file busy".
std::mutex& ProgramStartLock();

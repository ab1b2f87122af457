// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

#include <ctime>

// The modification time of a finished copy: its source's, or the moment its photo was
// taken, so a folder of copies sorts by date as its originals do. The copy is never
// reached through a symbolic link, and only a regular file of the user is changed (a name
// another user put in the output folder is left alone). Its access time is left as it is.
// Each returns an empty text when done, else a sentence saying what failed.
//
//     if (const QString why = KeepSourceTime(source, copy); !why.isEmpty()) { warn(why); }
//     if (const QString why = SetCopyTime(copy, taken); !why.isEmpty()) { warn(why); }

// The copy takes the source's modification time (the source's links are followed, as
// reading it did).
[[nodiscard]] QString KeepSourceTime(const QString& source, const QString& copy);

// The copy takes the given moment as its modification time; an invalid moment is refused.
[[nodiscard]] QString SetCopyTime(const QString& copy, const QDateTime& when);

// The same for a moment given as a timespec.
[[nodiscard]] QString SetCopyTime(const QString& copy, const timespec& when);

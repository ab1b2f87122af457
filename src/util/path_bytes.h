// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// A Linux file name is any string of bytes without NUL; it need not be UTF-8. The rooms
// carry paths as QString, so a name's bytes must survive the trip to text and back:
// PathText decodes UTF-8 and keeps each byte that is not part of valid UTF-8 as the lone
// surrogate U+DC00 + byte (as Python's "surrogateescape" does), and PathBytes turns such a
// text back into exactly the bytes it came from. Every call that hands a path to the
// kernel or to a library goes through PathBytes; QFile::encodeName would turn the kept
// bytes into "?" and name another file.
QString PathText(const QByteArray& bytes);
QByteArray PathBytes(const QString& text);

// True when the text holds a byte PathText had to keep (the name is not UTF-8); the
// window lists only names it can show.
bool HoldsKeptBytes(const QString& text);

// The path for people: kept bytes shown as U+FFFD, as a terminal or a file manager would.
QString PathForPeople(const QString& text);

// The full path of a path named relative to the working folder, with "." parts and
// doubled separators removed (".." is kept: it may cross a symbolic link).
QByteArray AbsolutePath(const QByteArray& path);

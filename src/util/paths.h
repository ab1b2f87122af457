// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

struct Environment;

// Path and file-name rules shared by every room. The separator is "/".

// True when the path's time of last change can be read (it exists).
bool FileExists(const QString& path);
// True when the path names an existing folder; false on any error.
bool IsFolder(const QString& path);
// The text after the last "/"; the whole text when there is none.
QString FileNameFromPath(const QString& path);
// Same result as FileNameFromPath, found by a scan from the left.
QString FileNamePart(const QString& path);
// The text before the last dot when that dot is at position 2 or later; else the name.
QString StripExtension(const QString& name);
// Doubled separators become single ones in one left-to-right pass; a leading run of
// separators becomes exactly one "/".
QString NormalizeBackslashes(const QString& path);
// The extension of a path's file name in lower case: the text after the last dot of
// the file name, or the whole lower-cased file name when it has no dot.
QString LowerExtension(const QString& path);

// Special folder ids understood by GetSpecialFolderPath.
inline constexpr int kCsidlDesktop = 0;
// The file-system path of a special folder; "" when there is no such folder.
QString GetSpecialFolderPath(const Environment& env, int folderId);
// The desktop folder followed by "/"; throws VbError 5 when there is none.
QString GetDesktopFolder(const Environment& env);

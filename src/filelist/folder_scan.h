#pragma once

#include <QString>
#include <QStringList>

class Dialogs;

// Folder-tree scanning for the file list.

// Extends the folder collection in place, breadth first, with every qualifying folder
// below its entries (each entry ends with "/"). Folders whose subfolder listing is
// denied are removed from the collection. Yields to the event loop once per folder
// and per subfolder. Errors outside the listing go to its own error trap.
void GetSubDirectories2016(QStringList& folders, bool recurse, Dialogs& dialogs);

// Names (no folder) of the openable files of one folder that match a wildcard pattern
// such as "*.jpg" or "*.*", hidden files included, sorted case-insensitively. An empty
// list when there are none.
QStringList ListFolderFiles(const QString& folder, const QString& pattern);

// True exactly for an existing regular file (after following links); never opens
// FIFOs, sockets or devices.
bool IsOpenableFile(const QString& path);

// True when a name holds a control character, a C1 control, "?" or bytes that are
// not valid UTF-8.
bool HasOddChars(const QString& name);

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

struct StampSettings;

// The text stamped on one entry. The file-name modes stamp the entry's own name: mode 4
// the file name, mode 5 the file name without its extension, mode 6 the full path as the
// list holds it. Every other mode stamps `currentText` unchanged (the text, time or date
// put into the stamp text when the mode was chosen).
QString EntryStampText(int mode, const QString& entryPath, const QString& currentText);

// The text stamped on one entry with these settings: their mode chooses between the
// entry's name and their text.
QString EntryStampText(const StampSettings& settings, const QString& entryPath);

// True for the modes whose text changes from entry to entry.
bool StampsEntryName(int mode);

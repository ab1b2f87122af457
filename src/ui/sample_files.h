// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class Dialogs;
class FileListView;
class SettingsStore;

// The key that scrambles the recorded sample list.
inline constexpr char kSampleListKey[] = "lanterns";

// Records the sample images beside the program, scrambled, under the sample-list key.
void RecordSampleFiles(SettingsStore& store, const QString& programFolder);

// Appends every recorded sample that exists and is not listed yet, then offers to open
// the sample folder beside the program. Has no error trap: an error stops it where it
// happens and goes to the caller.
void LoadSampleFiles(FileListView& list, SettingsStore& store, Dialogs& dialogs,
                     const QString& programFolder);

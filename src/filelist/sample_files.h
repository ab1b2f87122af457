#pragma once

#include <QString>

class Dialogs;
class FileListView;
class SettingsStore;
struct Environment;

// Records the sample images beside the program, scrambled, under the sample-list key.
void RecordSampleFiles(SettingsStore& store, const QString& programFolder);

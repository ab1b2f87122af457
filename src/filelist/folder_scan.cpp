#include "filelist/folder_scan.h"

void GetSubDirectories2016(QStringList&, bool, Dialogs&) {}
QStringList ListFolderFiles(const QString&, const QString&) { return {}; }
bool IsOpenableFile(const QString&) { return false; }
bool HasOddChars(const QString&) { return false; }

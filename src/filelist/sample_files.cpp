#include "filelist/sample_files.h"
#include "ui/form1.h"

void RecordSampleFiles(SettingsStore&, const QString&) {}
void Form1::PushButton8_Click() {}

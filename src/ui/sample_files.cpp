// SPDX-License-Identifier: MIT
#include "ui/sample_files.h"

#include "ui/file_list_view.h"
#include "engine/folder_scan.h"
#include "settings/scramble.h"
#include "ui/form1.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "util/error_trap.h"
#include "util/message_box.h"
#include "util/paths.h"

#include <QUrl>

namespace {

QString SamplesFolder(const QString& programFolder) {
    return programFolder + QStringLiteral("/Samples/");
}

const QChar kSeparator = QLatin1Char('|');

}  // namespace

void RecordSampleFiles(SettingsStore& store, const QString& programFolder) {
    const QStringList names =
        ListFolderFiles(programFolder + QStringLiteral("/Samples"), QStringLiteral("*.*"));
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names) {
        paths << SamplesFolder(programFolder) + name;
    }
    store.SaveSetting(QString::fromLatin1(key::kSampleList),
                      ScrambleText(paths.join(kSeparator), QString::fromLatin1(kSampleListKey)));
}

void LoadSampleFiles(FileListView& list, SettingsStore& store, Dialogs& dialogs,
                     const QString& programFolder) {
    const QString plain = UnscrambleText(store.GetSetting(QString::fromLatin1(key::kSampleList)),
                                         QString::fromLatin1(kSampleListKey));
    const QStringList parts = plain.isEmpty() ? QStringList() : plain.split(kSeparator);
    for (const QString& path : parts) {
        if (FileExists(path) && !ListContainsText(list, path)) {
            list.Add(path);
        }
    }
    const auto answer = MsgBox(dialogs,
                               QStringLiteral("Would you like this software to open the folder "
                                              "where these sample files are stored (so that you "
                                              "can view them before working with them)?"),
                               Dialogs::Buttons::YesNo);
    if (answer == Dialogs::Button::Yes) {
        dialogs.openUrl(QUrl::fromLocalFile(SamplesFolder(programFolder)));
    }
}

void Form1::PushButton8_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton8_Click"));
    trap.Do(100, [&] { LoadSampleFiles(*ListView1, store, dialogs, env.programFolder); });
}

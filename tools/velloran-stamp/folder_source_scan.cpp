// SPDX-License-Identifier: MIT
#include "folder_source_scan.h"

#include "engine/add_folder_tree.h"
#include "engine/collecting_dialogs.h"
#include "engine/folder_scan.h"
#include "source_list.h"
#include "util/error_trap.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

std::vector<QByteArray> ScanFolderLikeWindow(const QByteArray& named, const QString& extension,
                                             QStringList* problems) {
    // The window's folder browser gives folders without a trailing separator.
    QByteArray folder = named;
    while (folder.size() > 1 && folder.endsWith('/')) {
        folder.chop(1);
    }
    CollectingDialogs dialogs;
    // A folder whose own path is not UTF-8 is scanned through a descriptor of it: the
    // paths found are that folder's path plus names the scan could decode.
    int fd = -1;
    QString root = QFile::decodeName(folder);
    if (!RoundTrips(folder)) {
        fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return {};
        }
        root = QStringLiteral("/proc/self/fd/%1").arg(fd);
    }
    QStringList folders{root + QLatin1Char('/')};
    GetSubDirectories2016(folders, true, dialogs);
    std::vector<QByteArray> paths;
    ErrorTrap trap(dialogs, QStringLiteral("velloran-stamp.ScanFolder"));
    AddFolderTreeFiles(
        trap, 120, folders, QStringLiteral("*.") + extension,
        [&](const QString& path) {
            QByteArray bytes = QFile::encodeName(path);
            if (fd >= 0) {
                bytes = folder + bytes.mid(QFile::encodeName(root).size());
            }
            paths.push_back(bytes);
        },
        [] {});
    if (fd >= 0) {
        ::close(fd);
    }
    if (problems != nullptr) {
        for (const StepFailure& failure : dialogs.failures()) {
            *problems << failure.description;
        }
    }
    return paths;
}

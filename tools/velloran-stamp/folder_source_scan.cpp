// SPDX-License-Identifier: MIT
#include "folder_source_scan.h"

#include "engine/add_folder_tree.h"
#include "engine/collecting_dialogs.h"
#include "engine/folder_scan.h"
#include "source_list.h"
#include "undecodable_name_scan.h"
#include "util/descriptor_path.h"
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
    struct Descriptor {
        int fd = -1;
        ~Descriptor() {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    } opened;
    const int& fd = opened.fd;
    QString root = QFile::decodeName(folder);
    if (!RoundTrips(folder)) {
        opened.fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            if (problems != nullptr) {
                *problems << QStringLiteral("Cannot read the folder \"%1\": %2")
                                 .arg(QFile::decodeName(folder), qt_error_string(errno));
            }
            return {};
        }
        root = DescriptorPath(fd);
    }
    QStringList folders{root + QLatin1Char('/')};
    GetSubDirectories2016(folders, true, dialogs);
    std::vector<QByteArray> paths;
    auto found = [&](QByteArray bytes) {
        if (fd >= 0) {
            bytes = folder + bytes.mid(QFile::encodeName(root).size());
        }
        paths.push_back(std::move(bytes));
    };
    const QString pattern = QStringLiteral("*.") + extension;
    ErrorTrap trap(dialogs, QStringLiteral("velloran-stamp.ScanFolder"));
    AddFolderTreeFiles(
        trap, 120, folders, pattern, [&](const QString& path) { found(QFile::encodeName(path)); },
        [] {});
    // Then what the window cannot list: names that are not UTF-8.
    std::vector<QByteArray> scanned;
    scanned.reserve(size_t(folders.size()));
    for (const QString& scannedFolder : std::as_const(folders)) {
        scanned.push_back(QFile::encodeName(scannedFolder));
    }
    for (QByteArray& path : ScanUndecodableNames(scanned, pattern)) {
        found(std::move(path));
    }
    if (problems != nullptr) {
        for (const StepFailure& failure : dialogs.failures()) {
            *problems << failure.description;
        }
    }
    return paths;
}

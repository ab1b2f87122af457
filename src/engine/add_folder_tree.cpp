// SPDX-License-Identifier: MIT
#include "engine/add_folder_tree.h"

#include "engine/folder_scan.h"
#include "util/error_trap.h"
#include "util/file_ops.h"
#include "util/paths.h"

#include <QElapsedTimer>

namespace {

// A writable dot-file: hidden + archive and nothing else.
constexpr int kHiddenArchive = attr::kHidden | attr::kArchive;

// The scan yields per folder, but listing and appending the files of thousands of
// folders would otherwise run without a break; this keeps the gaps short.
constexpr qint64 kYieldIntervalMs = 20;

// Every value other than 34 lets the file in; only a dot-name can carry the hidden
// bit, so other names need no attribute read.
bool IsHiddenArchive(const QString& name, const QString& path) {
    return name.startsWith(QLatin1Char('.')) && FileAttributes(path) == kHiddenArchive;
}

}  // namespace

void AddFolderTreeFiles(ErrorTrap& trap, int firstLabel, const QStringList& folders,
                        const QString& pattern, const std::function<void(const QString&)>& add,
                        const std::function<void()>& yield, NameBytes nameBytes) {
    QElapsedTimer sinceYield;
    sinceYield.start();
    auto yieldWhenDue = [&] {
        if (sinceYield.elapsed() >= kYieldIntervalMs) {
            yield();
            sinceYield.restart();
        }
    };

    for (const QString& e : folders) {
        QString d;
        QStringList names;
        trap.Do(firstLabel, [&] { d = e.left(e.size() - 1); });
        trap.Do(firstLabel + 2, [&] { names = ListFolderFiles(d, pattern, nameBytes); });
        for (const QString& name : std::as_const(names)) {
            if (!trap.Test(firstLabel + 4, [&] { return !name.startsWith(QLatin1Char('~')); })) {
                continue;
            }
            QString path;
            trap.Do(firstLabel + 6, [&] { path = d + QLatin1Char('/') + name; });
            if (trap.Test(firstLabel + 8,
                          [&] { return IsOpenableFile(path) && !IsHiddenArchive(name, path); })) {
                trap.Do(firstLabel + 10, [&] { add(NormalizeBackslashes(path)); });
            }
            yieldWhenDue();
        }
        yieldWhenDue();
    }
}

// SPDX-License-Identifier: MIT
#include "source_list.h"

#include "util/path_bytes.h"
#include "util/paths.h"

#include <unistd.h>

#include <cerrno>

namespace {

// Entries of standard input, split at the separator; a last entry without it counts.
std::vector<QByteArray> ReadEntries(std::FILE* input, char separator) {
    std::vector<QByteArray> entries;
    QByteArray entry;
    for (;;) {
        const int c = std::getc(input);
        if (c == EOF) {
            break;
        }
        if (c == static_cast<unsigned char>(separator)) {
            if (!entry.isEmpty()) {
                entries.push_back(entry);
            }
            entry.clear();
            continue;
        }
        entry.append(static_cast<char>(c));
    }
    if (!entry.isEmpty()) {
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace

QByteArray AbsolutePath(const QByteArray& path) {
    QByteArray full = path;
    if (!path.startsWith('/')) {
        QByteArray cwd(4096, '\0');
        while (::getcwd(cwd.data(), static_cast<size_t>(cwd.size())) == nullptr) {
            if (errno != ERANGE || cwd.size() > (1 << 20)) {
                return path;
            }
            cwd.resize(cwd.size() * 2);
        }
        full = QByteArray(cwd.constData()) + '/' + path;
    }
    QByteArray clean;
    clean.reserve(full.size());
    const QList<QByteArray> parts = full.split('/');
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part == ".") {
            continue;
        }
        clean += '/';
        clean += part;
    }
    return clean.isEmpty() ? QByteArray("/") : clean;
}

std::vector<ListedSource> CollectSources(const std::vector<QByteArray>& operands, bool nulSeparated,
                                   std::FILE* input, const FolderScan& scan) {
    std::vector<ListedSource> sources;
    auto add = [&](const QByteArray& path) {
        if (IsFolder(PathText(path))) {
            const QString root = PathText(AbsolutePath(path));
            for (const QString& found : scan(PathText(path))) {
                sources.push_back({found, {PathText(AbsolutePath(PathBytes(found))), root}, 0});
            }
            return;
        }
        sources.push_back({PathText(path), {PathText(AbsolutePath(path)), QString()}, 0});
    };
    bool inputRead = false;
    for (const QByteArray& operand : operands) {
        if (operand == "-") {
            // Standard input holds one list; a second "-" finds it empty.
            if (!inputRead) {
                inputRead = true;
                for (const QByteArray& entry : ReadEntries(input, nulSeparated ? '\0' : '\n')) {
                    add(entry);
                }
            }
            continue;
        }
        add(operand);
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        sources[i].position = static_cast<int>(i + 1);
    }
    return sources;
}

// SPDX-License-Identifier: MIT
#include "engine/listed_sources.h"

#include "util/path_bytes.h"
#include "util/paths.h"

std::vector<ListedSource> ListSources(const std::vector<QByteArray>& names, const FolderScan& scan) {
    std::vector<ListedSource> sources;
    for (const QByteArray& name : names) {
        if (IsFolder(PathText(name))) {
            const QString root = PathText(AbsolutePath(name));
            for (const QString& found : scan(PathText(name))) {
                sources.push_back({found, {PathText(AbsolutePath(PathBytes(found))), root}, 0});
            }
            continue;
        }
        sources.push_back({PathText(name), {PathText(AbsolutePath(name)), QString()}, 0});
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        sources[i].position = static_cast<int>(i + 1);
    }
    return sources;
}

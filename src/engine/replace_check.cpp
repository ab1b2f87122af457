// SPDX-License-Identifier: MIT
#include "engine/replace_check.h"

#include "util/path_bytes.h"
#include "util/paths.h"

#include <cstdlib>
#include <memory>

namespace {

// The path with every link resolved; empty when it does not exist.
QByteArray ResolvedPath(const QString& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(
        ::realpath(PathBytes(path).constData(), nullptr), &std::free);
    return real ? QByteArray(real.get()) : QByteArray();
}

}  // namespace

bool ReplacesSource(const QString& source, const QString& outputFolder) {
    const QByteArray in = ResolvedPath(source);
    return !in.isEmpty() &&
           in == ResolvedPath(outputFolder + QLatin1Char('/') + FileNamePart(source));
}

bool AnyReplacesSource(const QStringList& sources, const QString& outputFolder) {
    for (const QString& source : sources) {
        if (ReplacesSource(source, outputFolder)) {
            return true;
        }
    }
    return false;
}

// SPDX-License-Identifier: MIT
#include "engine/replace_check.h"

#include "util/paths.h"

#include <QFileInfo>

bool ReplacesSource(const QString& source, const QString& outputFolder) {
    const QFileInfo out(outputFolder + QLatin1Char('/') + FileNamePart(source));
    const QFileInfo in(source);
    return out.exists() && in.exists() && out.canonicalFilePath() == in.canonicalFilePath();
}

bool AnyReplacesSource(const QStringList& sources, const QString& outputFolder) {
    for (const QString& source : sources) {
        if (ReplacesSource(source, outputFolder)) {
            return true;
        }
    }
    return false;
}

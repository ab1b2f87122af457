// SPDX-License-Identifier: MIT
#include "engine/run_plan.h"

#include "engine/replace_check.h"
#include "util/path_bytes.h"
#include "util/paths.h"

#include <QHash>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Joined(const QString& folder, const QString& rest) {
    return folder.endsWith(QLatin1Char('/')) ? folder + rest : folder + QLatin1Char('/') + rest;
}

}  // namespace

QString MirroredFolder(const RunSource& source) {
    if (source.root.isEmpty()) {
        return QString();
    }
    QString root = source.root;
    while (root.size() > 1 && root.endsWith(QLatin1Char('/'))) {
        root.chop(1);
    }
    const QString prefix = root == QLatin1String("/") ? root : root + QLatin1Char('/');
    if (!source.path.startsWith(prefix)) {
        return QString();
    }
    const QString relative = source.path.mid(prefix.size());
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relative.left(slash);
}

std::vector<PlannedCopy> PlanRun(const std::vector<RunSource>& sources,
                                 const RunPlanChoices& choices) {
    std::vector<PlannedCopy> plan(sources.size());
    QHash<QString, int> lastOfOutput;
    for (size_t i = 0; i < sources.size(); ++i) {
        const RunSource& source = sources[i];
        PlannedCopy& copy = plan[i];
        copy.index = static_cast<int>(i);
        const QString folder = choices.mirror ? MirroredFolder(source) : QString();
        const QString name = FileNamePart(source.path);
        copy.output = Joined(choices.outputFolder, folder.isEmpty() ? name : Joined(folder, name));
        lastOfOutput.insert(copy.output, copy.index);
    }
    for (PlannedCopy& copy : plan) {
        const int last = lastOfOutput.value(copy.output);
        if (last != copy.index) {
            copy.action = CopyAction::Clash;
            copy.clashWith = last;
            continue;
        }
        if (choices.skipExisting && IsFinishedCopy(copy.output)) {
            copy.action = CopyAction::SkipExisting;
            continue;
        }
        const QString& source = sources[size_t(copy.index)].path;
        copy.replacesSource =
            ReplacesSource(source, copy.output.left(copy.output.lastIndexOf(QLatin1Char('/'))));
    }
    return plan;
}

bool IsFinishedCopy(const QString& path) {
    const QByteArray native = PathBytes(path);
    const uid_t user = ::geteuid();
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        // Only the user's own link is followed, as the writers follow it.
        if (st.st_uid != user || ::stat(native.constData(), &st) != 0) {
            return false;
        }
    }
    return S_ISREG(st.st_mode) && st.st_uid == user;
}

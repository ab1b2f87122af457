// SPDX-License-Identifier: MIT
#include "engine/input_conversion.h"

#include "engine/converter.h"
#include "engine/converter_progress.h"
#include "util/descriptor_path.h"
#include "util/error_trap.h"
#include "util/file_ops.h"
#include "util/path_bytes.h"
#include "util/paths.h"
#include "util/unique_fd.h"
#include "util/vb_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The source opened for the converter to read through: a name that is not UTF-8 cannot
// travel on its command line, and a descriptor leaves nothing to swap in between. Not
// valid when it is not a regular file that can be opened; the converter is then given
// the name and reports what it finds there.
UniqueFd OpenSourceForConverter(const QString& source) {
    UniqueFd fd(::open(PathBytes(source).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (fd.valid() && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) {
        fd.Reset();
    }
    return fd;
}

}  // namespace

bool NeedsInputConversion(const QString& lowerExtension) {
    return lowerExtension == QLatin1String("png") || lowerExtension == QLatin1String("tif");
}

QString ConvertForLoading(ConverterProgress& progress, const std::function<int()>& fileCount,
                          ErrorTrap& trap, int firstLabel, const QString& source,
                          const QString& tempFolder) {
    // The caller has reported why there is no temporary folder; a path built from an
    // empty one would name files in the root folder.
    if (tempFolder.isEmpty()) {
        return QString();
    }
    QByteArray bytes;
    QString command;
    bool converted = false;
    // Without the converter's bytes, or with no room to write it, nothing can be converted:
    // that failure is the entry's one report, not followed by the run's own.
    if (!trap.Do(firstLabel, [&] { bytes = ConverterBytes(); })) {
        return QString();
    }
    trap.Do(firstLabel + 2, [&] {
        const QString path = StampTmpPath(tempFolder);
        progress.Yield();
        DeleteFileForced(path);
    });
    if (!trap.Do(firstLabel + 4, [&] { PrepareConverter(bytes, tempFolder); })) {
        return QString();
    }
    UniqueFd opened;
    trap.Do(firstLabel + 8, [&] {
        opened = OpenSourceForConverter(source);
        command = InputConversionCommand(tempFolder,
                                         opened.valid() ? DescriptorPath(opened.get()) : source);
    });
    trap.Do(firstLabel + 10, [&] {
        QString why;
        const int code = RunConverter(command, tempFolder, progress, progress.Text(),
                                      progress.Value(), fileCount(), &why);
        if (opened.valid()) {
            // The user knows the file by its name.
            why.replace(Quoted(DescriptorPath(opened.get())), Quoted(source));
        }
        if (code != 0 || !FileExists(StampTmpPath(tempFolder))) {
            Raise(vberr::kConverterFailed,
                  QStringLiteral("Cannot convert \"%1\": %2")
                      .arg(source, ConversionFailureReason(code, why, StampTmpPath(tempFolder),
                                                           StampTmpPath(tempFolder))));
        }
        converted = true;
    });
    QString loadPath;
    trap.Do(firstLabel + 12, [&] { loadPath = StampTmpPath(tempFolder); });
    trap.Do(firstLabel + 14, [&] {
        const QString path = ConverterPath(tempFolder);
        progress.Yield();
        DeleteFileForced(path);
    });
    return converted ? loadPath : QString();
}

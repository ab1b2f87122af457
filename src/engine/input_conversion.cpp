// SPDX-License-Identifier: MIT
#include "engine/input_conversion.h"

#include "engine/converter.h"
#include "engine/converter_progress.h"
#include "util/error_trap.h"
#include "util/file_ops.h"
#include "util/paths.h"
#include "util/vb_error.h"

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
    trap.Do(firstLabel, [&] { bytes = ConverterBytes(); });
    trap.Do(firstLabel + 2, [&] {
        const QString path = StampTmpPath(tempFolder);
        progress.Yield();
        DeleteFileForced(path);
    });
    trap.Do(firstLabel + 4, [&] { PrepareConverter(bytes, tempFolder); });
    trap.Do(firstLabel + 8, [&] { command = InputConversionCommand(tempFolder, source); });
    trap.Do(firstLabel + 10, [&] {
        QString why;
        const int code =
            RunConverter(command, tempFolder, progress, progress.Text(), progress.Value(),
                         fileCount(), &why);
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

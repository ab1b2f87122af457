// SPDX-License-Identifier: MIT
#include "engine/converter.h"

#include "engine/own_file.h"
#include "engine/run_and_wait.h"
#include "util/descriptor_path.h"
#include "util/file_ops.h"
#include "util/path_bytes.h"
#include "util/temp_folder.h"
#include "util/vb_error.h"

#include <QFile>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

// Outside any namespace: the macro declares the resource's initialiser where it stands.
static void InitConverterResource() {
    Q_INIT_RESOURCE(converter);
}

namespace {

constexpr qint32 kStartFailed = kRunAndWaitStartFailed;
// The converter's exit code for a command line it does not accept.
constexpr qint32 kCommandLineRefused = 2;
constexpr int kConverterMode = 0700;

QString SystemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// True when a failed start came from a folder that may hold no running programs.
bool ForbidsRunning(const QString& tempFolder, const QString& why) {
    struct statvfs fs {};
    return why.contains(SystemMessage(EACCES), Qt::CaseInsensitive) ||
           (::statvfs(PathBytes(tempFolder).constData(), &fs) == 0 && (fs.f_flag & ST_NOEXEC) != 0);
}

// The converter's bytes in an anonymous memory file, sealed against change, reachable by
// path while this process lives. The descriptor is closed on exec and on destruction.
class MemoryConverter {
public:
    MemoryConverter() {
        const QByteArray bytes = ConverterBytes();
        fd_ = ::memfd_create(kConverterName, MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (fd_ < 0) {
            Raise(vberr::kFileNotFound,
                  QStringLiteral("Cannot run the converter: %1").arg(SystemMessage(errno)));
        }
        if (const int error = WriteAll(fd_, bytes.constData(), bytes.size()); error != 0) {
            // The destructor of an object whose constructor fails never runs.
            ::close(std::exchange(fd_, -1));
            Raise(vberr::kOutOfMemory,
                  QStringLiteral("Cannot run the converter: %1").arg(SystemMessage(error)));
        }
        ::fcntl(fd_, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    }
    ~MemoryConverter() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    MemoryConverter(const MemoryConverter&) = delete;
    MemoryConverter& operator=(const MemoryConverter&) = delete;

    // The descriptor's path as the child sees it: the forked child still holds the
    // descriptor when it starts the program, which is closed on exec only after that.
    // Not /proc/<pid>: in a pid namespace whose /proc is the parent's, getpid() names
    // another process there.
    QString Path() const { return DescriptorPath(fd_); }

private:
    int fd_ = -1;
};

QString FormatName(const QString& extension) {
    if (extension == QLatin1String("tif")) {
        return QStringLiteral("TIFF");
    }
    return extension.toUpper();
}

// True when a failed conversion ran out of room. The converter names ENOSPC only
// sometimes ("Unknown error" from its writer); a write failure on a file system with less
// room left than the bitmap it was converting counts as a full disk too.
bool IsDiskFull(const QString& why, const QString& bitmapPath) {
    if (why.contains(QLatin1String("the disk is full")) ||
        why.contains(SystemMessage(ENOSPC), Qt::CaseInsensitive) ||
        why.contains(SystemMessage(EDQUOT), Qt::CaseInsensitive)) {
        return true;
    }
    struct statvfs fs {};
    struct stat bitmap {};
    const QString folder = bitmapPath.left(bitmapPath.lastIndexOf(QLatin1Char('/')) + 1);
    return why.contains(QLatin1String("cannot write")) && !folder.isEmpty() &&
           ::stat(PathBytes(bitmapPath).constData(), &bitmap) == 0 &&
           ::statvfs(PathBytes(folder).constData(), &fs) == 0 &&
           qint64(fs.f_bavail) * qint64(fs.f_frsize) < qint64(bitmap.st_size);
}

}  // namespace

QByteArray ConverterBytes() {
    InitConverterResource();
    QFile resource(QStringLiteral(":/velloran/") + QString::fromLatin1(kConverterName));
    if (!resource.open(QIODevice::ReadOnly)) {
        Raise(vberr::kFileNotFound, QStringLiteral("The converter is missing from the program"));
    }
    return resource.readAll();
}

QString ConverterPath(const QString& tempFolder) {
    RequireFolder(tempFolder);
    return tempFolder + QLatin1Char('/') + QString::fromLatin1(kConverterName);
}

QString StampTmpPath(const QString& tempFolder) {
    RequireFolder(tempFolder);
    return tempFolder + QLatin1Char('/') + QString::fromLatin1(kStampTmpName);
}

void PrepareConverter(const QByteArray& bytes, const QString& tempFolder) {
    const QString path = ConverterPath(tempFolder);
    if (!IsOwnFileHolding(path, bytes, kConverterMode)) {
        ReplaceWithNewFile(path, bytes, kConverterMode);
    }
}

QString Quoted(const QString& path) {
    QString inner = path;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString InputConversionCommand(const QString& tempFolder, const QString& source) {
    return Quoted(ConverterPath(tempFolder)) + QStringLiteral(" -out jpeg -o ") +
           Quoted(StampTmpPath(tempFolder)) + QStringLiteral("  ") + Quoted(source);
}

QString OutputConversionCommand(const QString& tempFolder, const QString& outputPath,
                                const QString& extension, const QString& bitmapPath) {
    QString format;
    if (extension == QLatin1String("gif")) {
        format = QStringLiteral("gif  -dither -colors 256 ");
    } else if (extension == QLatin1String("png")) {
        format = QStringLiteral("png ");
    } else if (extension == QLatin1String("tif")) {
        format = QStringLiteral("tiff ");
    } else if (extension == QLatin1String("ico")) {
        format = QStringLiteral("ico ");
    }
    const QString files = bitmapPath.isEmpty()
                              ? Quoted(outputPath)
                              : QStringLiteral("-o ") + Quoted(outputPath) +
                                    QStringLiteral("  ") + Quoted(bitmapPath);
    return Quoted(ConverterPath(tempFolder)) + QStringLiteral(" -out ") + format + files;
}

qint32 RunConverter(const QString& commandLine, const QString& tempFolder,
                    ConverterProgress& bar, const QString& barText, int barValue, int fileCount, QString* childError) {
    QString why;
    const qint32 code = RunAndWait(commandLine, 0, bar, barText, barValue, fileCount, &why);
    if (code == kStartFailed && ForbidsRunning(tempFolder, why)) {
        const QString program = Quoted(ConverterPath(tempFolder));
        if (commandLine.startsWith(program)) {
            const MemoryConverter memory;
            return RunAndWait(Quoted(memory.Path()) + commandLine.mid(program.size()), 0, bar,
                              barText, barValue, fileCount, childError);
        }
    }
    if (childError != nullptr) {
        *childError = why;
    }
    return code;
}

QString ConversionFailureReason(qint32 code, QString why, const QString& temporaryPath,
                                const QString& shownPath) {
    if (code == kStartFailed) {
        return QStringLiteral("the converter could not be started (%1)").arg(why);
    }
    if (why.isEmpty()) {
        return QStringLiteral("the converter ended with code %1").arg(code);
    }
    why.remove(QLatin1String(kConverterName) + QStringLiteral(": "));
    if (code == kCommandLineRefused && why.contains(QLatin1String("cannot tell the format"))) {
        return QStringLiteral("the converter cannot tell the format from the name");
    }
    why.remove(QStringLiteral(" (see --help)"));
    if (!temporaryPath.isEmpty()) {
        why.replace(temporaryPath, shownPath);
    }
    return why;
}

void RaiseOutputConversionFailure(qint32 code, const QString& why, const QString& temporaryPath,
                                  const QString& outputPath, const QString& extension) {
    const QString reason = ConversionFailureReason(code, why, temporaryPath, outputPath);
    const QString what =
        extension == QLatin1String("gif") || extension == QLatin1String("png") ||
                extension == QLatin1String("tif") || extension == QLatin1String("ico")
            ? QStringLiteral("Cannot write \"%1\" as %2").arg(outputPath, FormatName(extension))
            : QStringLiteral("Cannot write \"%1\"").arg(outputPath);
    if (code != kStartFailed && IsDiskFull(why, temporaryPath)) {
        Raise(vberr::kDiskFull, what + QStringLiteral(": the disk is full"));
    }
    Raise(vberr::kConverterFailed, what + QStringLiteral(": ") + reason);
}

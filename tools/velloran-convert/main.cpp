// SPDX-License-Identifier: MIT
// velloran-convert: converts one image file to another format, see usageText().

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTextStream>

#include <new>

#include "command_line.h"
#include "format_writers.h"
#include "image_input.h"

using namespace velloran::convert;

namespace {

// Descriptor for our own error line. The image libraries behind Qt's plugins (libpng, libtiff)
// print their complaints straight to descriptor 2; those are silenced so a failure always shows
// exactly one line.
int errorOutput = STDERR_FILENO;

void silenceLibraryOutput() {
    const int nullDevice = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (nullDevice < 0 || saved < 0)
        return;
    dup2(nullDevice, STDERR_FILENO);
    close(nullDevice);
    errorOutput = saved;
}

int fail(QString message, int exitCode = 1) {
    message.replace(u'\n', u' ');
    const QByteArray line = "velloran-convert: " + message.toLocal8Bit() + '\n';
    qsizetype written = 0;
    while (written < line.size()) {
        const ssize_t n = write(errorOutput, line.constData() + written, line.size() - written);
        if (n <= 0)
            break;
        written += n;
    }
    return exitCode;
}

}  // namespace

int main(int argc, char* argv[]) {
    silenceLibraryOutput();
    QCoreApplication app(argc, argv);

    const ParsedCommandLine parsed = parseCommandLine(app.arguments().mid(1));
    if (parsed.helpRequested) {
        QTextStream(stdout) << usageText();
        return 0;
    }
    if (!parsed.error.isEmpty())
        return fail(parsed.error + QStringLiteral(" (see --help)"), 2);
    const Options& options = parsed.options;

    QString error;
    // Out of memory while reading or writing is one failure like any other, with its line.
    bool reading = true;
    try {
        const QImage image = readImage(options.inputPath, &error);
        if (image.isNull()) {
            return fail(QStringLiteral("cannot read \"%1\": %2").arg(options.inputPath, error));
        }
        reading = false;
        if (!writeImageFile(image, options, &error)) {
            return fail(QStringLiteral("cannot write \"%1\": %2").arg(options.outputPath, error));
        }
    } catch (const std::bad_alloc&) {
        return fail(reading ? QStringLiteral("cannot read \"%1\": there is not enough memory")
                                  .arg(options.inputPath)
                            : QStringLiteral("cannot write \"%1\": there is not enough memory")
                                  .arg(options.outputPath));
    }
    return 0;
}

// SPDX-License-Identifier: MIT
#pragma once

// Runs of the built velloran-convert held to an address space, for the tests of what it
// reads and of how it ends short of memory.

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

struct ConverterOutcome {
    bool normalExit = false;  // ended by itself, not by a signal or the 60 s bound
    int exitCode = -1;
    QByteArray err;
};

// Runs the converter in `megabytes` of address space (0: unbounded), killed after 60 s.
inline ConverterOutcome RunConverterWithin(qint64 megabytes, const QStringList& arguments) {
    QProcess process;
    if (megabytes > 0) {
        process.setChildProcessModifier([megabytes] {
            const rlimit limit{rlim_t(megabytes) << 20, rlim_t(megabytes) << 20};
            setrlimit(RLIMIT_AS, &limit);
        });
    }
    process.start(QStringLiteral(VELLORAN_CONVERT_PATH), arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit, process.exitCode(),
            process.readAllStandardError()};
}

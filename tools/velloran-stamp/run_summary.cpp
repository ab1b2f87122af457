// SPDX-License-Identifier: MIT
#include "run_summary.h"

#include "util/shell_word.h"

#include <QStringList>

#include <cstring>

void RunSummary::Count(const SourceReport& report) {
    switch (report.status) {
        case SourceStatus::Ok:
            ++stamped;
            break;
        case SourceStatus::Error:
            ++failed;
            break;
        case SourceStatus::Skipped:
            ++skipped;
            break;
    }
}

QString RunSummary::Text(bool dryRun) const {
    QStringList parts;
    parts << QStringLiteral("%1 %2").arg(stamped).arg(dryRun ? QStringLiteral("to stamp")
                                                             : QStringLiteral("stamped"));
    if (failed > 0) {
        parts << QStringLiteral("%1 failed").arg(failed);
    }
    if (skipped > 0) {
        parts << QStringLiteral("%1 skipped").arg(skipped);
    }
    if (leftOut > 0) {
        parts << QStringLiteral("%1 left out by --ext").arg(leftOut);
    }
    return parts.join(QStringLiteral(", "));
}

QByteArray RunSummary::InterruptedText(int argc, char* argv[]) const {
    QByteArray command = "velloran-stamp";
    bool hasSkip = false;
    for (int i = 1; i < argc; ++i) {
        hasSkip = hasSkip || std::strcmp(argv[i], "--skip-existing") == 0;
    }
    if (!hasSkip) {
        command += " --skip-existing";
    }
    for (int i = 1; i < argc; ++i) {
        command += ' ' + ShellWord(QByteArray(argv[i]));
    }
    return QStringLiteral("interrupted: %1 of %2 done (%3); to finish the job: ")
               .arg(done())
               .arg(planned)
               .arg(Text(false))
               .toUtf8() +
           command;
}

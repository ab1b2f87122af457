// SPDX-License-Identifier: MIT
#include "stamp_run.h"

#include "engine/stamp_source.h"
#include "interruption.h"
#include "odd_names.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace {

QByteArray NameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// The engine's failures in one line: each step's own description, without the window's
// "Application Error" frame.
QString FailureText(const QList<SourceStamper::Failure>& failures) {
    QStringList texts;
    for (const SourceStamper::Failure& failure : failures) {
        QString text = failure.description.simplified();
        if (text.isEmpty()) {
            text = failure.message.simplified();
        }
        if (!texts.contains(text)) {
            texts << text;
        }
    }
    return texts.join(QStringLiteral("; "));
}

// Stamps one source with the text `textOf` makes of its facts; returns the error text,
// empty when the copy was written.
QString StampOne(SourceStamper& stamper, OddNames& oddNames, const PlannedSource& item,
                 const SourceTextFunction& textOf, StampSettings settings, int listSize) {
    const QByteArray outputName = NameOf(item.output);
    const int position = item.source.position;
    try {
        const QString source = oddNames.SourcePath(item.source.absolute, position);
        const bool standIn = OddNames::NeedsStandIn(outputName);
        settings.outputFolder =
            standIn ? oddNames.StandInFolder(position) : oddNames.OutputFolder();
        const QList<SourceStamper::Failure> failures =
            stamper.Stamp(source, settings, listSize, textOf);
        if (!failures.isEmpty()) {
            if (standIn) {
                oddNames.DropStandIn(position);
            }
            return FailureText(failures);
        }
        if (standIn) {
            const QString standInName = source.mid(source.lastIndexOf(QLatin1Char('/')) + 1);
            oddNames.PlaceStandIn(position, standInName, outputName);
        }
        return QString();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
}

}  // namespace

int RunPlannedSources(const std::vector<PlannedSource>& planned, const StampSettings& settings,
                      const RunOptions& options,
                      const std::function<void(const SourceReport&, int done)>& report) {
    std::mutex reportMutex;
    int done = 0;
    int failed = 0;
    auto finish = [&](const PlannedSource& item, const QString& text, const QString& status,
                      const QString& error, qint64 ms) {
        SourceReport line;
        line.source = item.source.given;
        line.output = item.output;
        line.status = status;
        if (!error.isEmpty()) {
            line.error = error;
        }
        line.text = text;
        line.ms = ms;
        line.dryRun = options.dryRun;
        const std::lock_guard lock(reportMutex);
        ++done;
        if (status == QLatin1String("error")) {
            ++failed;
        }
        report(line, done);
    };

    // Skipped sources and a dry run need no stamper.
    std::vector<const PlannedSource*> toStamp;
    for (const PlannedSource& item : planned) {
        if (StopRequested()) {
            return failed;
        }
        if (item.skip) {
            finish(item, options.textFor(item.source, nullptr), QStringLiteral("skipped"), item.note,
                   0);
        } else if (options.dryRun) {
            finish(item, options.textFor(item.source, nullptr), QStringLiteral("ok"), QString(), 0);
        } else {
            toStamp.push_back(&item);
        }
    }
    if (toStamp.empty()) {
        return failed;
    }

    OddNames oddNames(options.workFolder, options.outputFolder);
    std::atomic<size_t> next{0};
    const int jobs = std::max(1, std::min<int>(options.jobs, static_cast<int>(toStamp.size())));
    auto work = [&](int job) {
        // Each stamper has a temporary folder of its own: the converter's files there have
        // fixed names.
        const QString temp = options.workFolder + QStringLiteral("/job-%1").arg(job);
        // A folder that cannot be made makes every conversion of this worker fail, and
        // each failure is reported.
        ::mkdir(QFile::encodeName(temp).constData(), 0700);
        SourceStamper stamper(temp);
        for (;;) {
            if (StopRequested()) {
                return;
            }
            const size_t index = next.fetch_add(1);
            if (index >= toStamp.size()) {
                return;
            }
            const PlannedSource& item = *toStamp[index];
            QElapsedTimer timer;
            timer.start();
            std::optional<QString> text;
            const SourceTextFunction textOf = [&](const PhotoFacts& facts) {
                text = options.textFor(item.source, &facts);
                return *text;
            };
            const QString error =
                StampOne(stamper, oddNames, item, textOf, settings, options.listSize);
            if (!text) {
                // The road ended before it read the source.
                text = options.textFor(item.source, nullptr);
            }
            finish(item, *text, error.isEmpty() ? QStringLiteral("ok") : QStringLiteral("error"),
                   error, timer.elapsed());
        }
    };
    std::vector<std::thread> threads;
    for (int job = 1; job < jobs; ++job) {
        threads.emplace_back(work, job + 1);
    }
    work(1);
    for (std::thread& thread : threads) {
        thread.join();
    }
    return failed;
}

// SPDX-License-Identifier: MIT
#include "engine/run_planned_sources.h"

#include "engine/copy_folders.h"
#include "engine/copy_time.h"
#include "engine/photo_facts.h"
#include "engine/stamp_source.h"
#include "imageio/jpeg_block_memory.h"
#include "util/path_bytes.h"
#include "util/vb_error.h"

#include <QElapsedTimer>
#include <QStringList>

#include <sys/stat.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace {

// The engine's failures in one line: each step's own description.
QString FailureText(const QList<StepFailure>& failures) {
    QStringList texts;
    for (const StepFailure& failure : failures) {
        const QString text = failure.description.simplified();
        if (!texts.contains(text)) {
            texts << text;
        }
    }
    return texts.join(QStringLiteral("; "));
}

// The first failure's error number, 0 when there is none.
int FailureCode(const QList<StepFailure>& failures) {
    return failures.isEmpty() ? 0 : failures.first().number;
}

QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

}  // namespace

std::vector<PlannedSource> PlanListedSources(const std::vector<ListedSource>& sources,
                                             const RunPlanChoices& choices,
                                             const std::function<bool(const ListedSource&)>& keep) {
    std::vector<RunSource> listed;
    listed.reserve(sources.size());
    for (const ListedSource& source : sources) {
        listed.push_back(source.run);
    }
    std::vector<PlannedSource> planned;
    for (const PlannedCopy& copy : PlanRun(listed, choices)) {
        const ListedSource& source = sources[size_t(copy.index)];
        if (!keep(source)) {
            continue;
        }
        PlannedSource item{source, copy, choices.mirror ? MirroredFolder(source.run) : QString(),
                           QString()};
        if (copy.action == CopyAction::Clash) {
            item.note = QStringLiteral("%1 and %2 make the same copy %3; nothing of the earlier "
                                       "is written")
                            .arg(source.given, sources[size_t(copy.clashWith)].given, copy.output);
        }
        planned.push_back(std::move(item));
    }
    return planned;
}

void RunPlannedSources(const std::vector<PlannedSource>& planned, const StampSettings& settings,
                       const RunOptions& options,
                       const std::function<void(const SourceReport&)>& report) {
    std::mutex reportMutex;
    auto finish = [&](const PlannedSource& item, const QString& text, SourceStatus status,
                      const QString& error, int code, qint64 ms) {
        SourceReport line;
        line.source = PathBytes(item.source.given);
        line.output = PathBytes(item.copy.output);
        line.status = status;
        if (!error.isEmpty()) {
            line.error = error;
        }
        line.code = code;
        line.text = text;
        line.ms = ms;
        line.dryRun = options.dryRun;
        const std::lock_guard lock(reportMutex);
        report(line);
    };

    // Sources the plan leaves alone and a dry run need no stamper.
    std::vector<const PlannedSource*> toStamp;
    for (const PlannedSource& item : planned) {
        if (options.stopRequested()) {
            return;
        }
        switch (item.copy.action) {
            case CopyAction::SkipExisting:
                finish(item, options.textFor(item.source, nullptr), SourceStatus::Skipped,
                       item.note, 0, 0);
                break;
            case CopyAction::Clash:
                finish(item, options.textFor(item.source, nullptr), SourceStatus::Error,
                       item.note, 0, 0);
                break;
            case CopyAction::Stamp:
                if (options.dryRun) {
                    finish(item, options.textFor(item.source, nullptr), SourceStatus::Ok,
                           QString(), 0, 0);
                } else {
                    toStamp.push_back(&item);
                }
                break;
        }
    }
    if (toStamp.empty()) {
        return;
    }

    std::atomic<size_t> next{0};
    const int jobs = std::max(1, std::min<int>(options.jobs, static_cast<int>(toStamp.size())));
    auto work = [&](int job) {
        // Each stamper has a temporary folder of its own: the converter's files there have
        // fixed names.
        const QString temp = options.workFolder + QStringLiteral("/job-%1").arg(job);
        // A folder that cannot be made makes every conversion of this worker fail, and
        // each failure is reported.
        ::mkdir(PathBytes(temp).constData(), 0700);
        SourceStamper stamper(temp);
        for (;;) {
            if (options.stopRequested()) {
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
            QDateTime taken;
            const SourceTextFunction textOf = [&](const PhotoFacts& facts) {
                text = options.textFor(item.source, &facts);
                if (options.keepTime == KeepTime::Taken) {
                    taken = facts.Taken();
                }
                return *text;
            };
            StampSettings one = settings;
            one.outputFolder = FolderOf(item.copy.output);
            QList<StepFailure> failures;
            try {
                if (!item.mirroredFolder.isEmpty()) {
                    MakeCopyFolders(options.outputFolder, item.mirroredFolder);
                }
                failures = stamper.Stamp(item.source.run.path, one, options.listSize, textOf);
            } catch (const VbError& e) {
                failures << StepFailure{QString(), QString(), 0, e.number(), e.description()};
            } catch (const std::exception& e) {
                failures << StepFailure{QString(), QString(), 0, 0,
                                        QString::fromLocal8Bit(e.what())};
            }
            if (failures.isEmpty() && options.keepTime != KeepTime::No) {
                const QString why =
                    options.keepTime == KeepTime::Modified
                        ? KeepSourceTime(item.source.run.path, item.copy.output)
                        : SetCopyTime(item.copy.output, taken);
                if (!why.isEmpty()) {
                    failures << StepFailure{QString(), QString(), 0, 0, why};
                }
            }
            if (!text) {
                // The road ended before it read the source.
                text = options.textFor(item.source, nullptr);
            }
            finish(item, *text, failures.isEmpty() ? SourceStatus::Ok : SourceStatus::Error,
                   FailureText(failures), FailureCode(failures), timer.elapsed());
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
    // A watched folder waits between runs: it holds no spare memory meanwhile.
    JpegBlockArrays::DropSpares();
}

// SPDX-License-Identifier: MIT
#include "stamp_command.h"

#include "command_line.h"
#include "engine/engine_start.h"
#include "engine/folder_tree_files.h"
#include "engine/folder_watch.h"
#include "engine/font_check.h"
#include "engine/picture_extensions.h"
#include "engine/run_plan.h"
#include "engine/run_planned_sources.h"
#include "engine/source_stamp_texts.h"
#include "engine/starting_stamp_settings.h"
#include "imageio/result_file.h"
#include "interruption.h"
#include "json_line.h"
#include "progress_meter.h"
#include "run_summary.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "shard.h"
#include "source_list.h"
#include "util/environment.h"
#include "util/path_bytes.h"
#include "util/paths.h"
#include "util/temp_folder.h"
#include "util/vb_error.h"

#include <QFont>
#include <QGuiApplication>

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr int kMostJobs = 256;

// Paths (in the subject and inside the engine's messages) go out in their own bytes.
void PrintError(const QString& subject, const QString& message) {
    const QByteArray line =
        "velloran-stamp: " + (subject.isEmpty() ? QByteArray() : PathBytes(subject) + ": ") +
        PathBytes(message) + "\n";
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
}

void PrintMessage(const QString& message) {
    PrintError(QString(), message);
}

// A full disk or a closed pipe must not pass as success.
bool WriteOut(const QByteArray& text) {
    return std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout) ==
               static_cast<size_t>(text.size()) &&
           std::fflush(stdout) == 0;
}

int Jobs(const CommandLine& line) {
    if (!line.jobs) {
        return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    }
    bool ok = false;
    const int jobs = line.jobs->trimmed().toInt(&ok);
    if (!ok || jobs < 1 || jobs > kMostJobs) {
        throw UsageError(QStringLiteral("--jobs \"%1\": a whole number from 1 to %2")
                             .arg(*line.jobs)
                             .arg(kMostJobs));
    }
    return jobs;
}

// Qt's own notes ("XDG_RUNTIME_DIR not set", font fallbacks) are not the user's business
// on a command line whose standard error holds one line per failed source; only Qt's
// critical messages are kept, in the program's own form.
void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        PrintMessage(message);
    }
}

// The companion's words for a failure whose code says what it is; the engine's own text
// for the rest. The window's messages name what the window reads through its loader.
QString ReportText(const SourceReport& report) {
    if (report.code == vberr::kInvalidPicture) {
        return QStringLiteral("not a picture this program reads (JPEG, PNG, TIFF, BMP, GIF, "
                              "icon, HEIC/HEIF, AVIF, WebP or JPEG XL), or a damaged one");
    }
    return *report.error;
}

// Prints each report as it comes: a line per failure, the JSON line or the dry run's line,
// the progress bar; counts it for the summary.
class Reporter {
public:
    Reporter(const CommandLine& line, int planned)
        : line_(line), meter_(stderr, planned, !line.quiet) {
        summary_.planned = planned;
        // Shown at once: the first picture of a camera may take a second.
        meter_.Update(0, QString());
    }

    void operator()(const SourceReport& report) {
        summary_.Count(report);
        if (report.error) {
            meter_.Clear();
            PrintError(PathText(report.source), ReportText(report));
        }
        bool written = true;
        if (line_.json) {
            written = WriteOut(JsonLine(report));
        } else if (line_.dryRun) {
            written = WriteOut(report.source + " -> " + report.output + "\n");
        }
        if (!written && !outputFailed_) {
            // Nobody reads the reports any more: stamping on would go unseen.
            outputFailed_ = true;
            StopStarting();
            PrintMessage(QStringLiteral("standard output: %1").arg(qt_error_string(errno)));
        }
        meter_.Update(summary_.done(), PathForPeople(PathText(report.source)));
    }

    void Finish() { meter_.Clear(); }
    RunSummary& summary() { return summary_; }
    bool outputFailed() const { return outputFailed_; }

private:
    const CommandLine& line_;
    ProgressMeter meter_;
    RunSummary summary_;
    bool outputFailed_ = false;
};

// The sources of the operands, folders walked once and filtered by --ext.
std::vector<ListedSource> SourcesOf(const CommandLine& line, const PictureExtensions& extensions,
                              QList<StepFailure>* problems, int* leftOut) {
    return CollectSources(line.operands, line.nulSeparated, stdin, [&](const QString& folder) {
        QStringList taken;
        for (const QString& path :
             FolderTreeFiles(folder, QStringLiteral("*.*"), NameBytes::Any, problems)) {
            if (extensions.Takes(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1))) {
                taken << path;
            } else {
                ++*leftOut;
            }
        }
        return taken;
    });
}

// The plan's copies of this shard. Returns false when a copy would replace its source and
// that is not allowed (the run must not start).
bool PlanSources(const std::vector<ListedSource>& sources, const RunPlanChoices& choices,
                 const CommandLine& line, const Shard& shard,
                 std::vector<PlannedSource>* planned) {
    *planned = PlanListedSources(sources, choices, [&](const ListedSource& source) {
        return shard.Holds(source.position);
    });
    bool allowed = true;
    for (PlannedSource& item : *planned) {
        if (item.copy.action == CopyAction::Clash) {
            item.note += QStringLiteral(" (--mirror keeps their folders apart)");
        } else if (item.copy.action == CopyAction::Stamp && item.copy.replacesSource &&
                   !line.replaceOriginals) {
            PrintError(item.source.given,
                       QStringLiteral("the copy would replace the original "
                                      "(choose another --output, or --replace-originals)"));
            allowed = false;
        }
    }
    return allowed;
}

KeepTime KeepTimeOf(const CommandLine& line) {
    if (!line.keepTime) {
        return KeepTime::No;
    }
    const QString which = line.keepTime->trimmed().toLower();
    if (which == QLatin1String("modified")) {
        return KeepTime::Modified;
    }
    if (which == QLatin1String("taken")) {
        return KeepTime::Taken;
    }
    throw UsageError(QStringLiteral("--keep-time=%1: choose modified or taken").arg(*line.keepTime));
}

// After the pictures that are there, each new one in the folder arguments, until an
// interruption. A picture handed again (written anew) replaces its earlier copy.
void WatchFolders(const CommandLine& line, FolderWatch& watch, const PictureExtensions& extensions,
                  const RunPlanChoices& choices, const StampSettings& settings,
                  const RunOptions& options, Reporter& report) {
    QStringList roots;
    for (const QByteArray& operand : line.operands) {
        roots << PathText(AbsolutePath(operand));
    }
    RunPlanChoices each = choices;
    each.skipExisting = false;
    while (!StopRequested()) {
        for (const FolderWatchProblem& problem : watch.TakeProblems()) {
            PrintError(problem.path, problem.message);
        }
        const std::optional<QString> path = watch.Next(150);
        if (!path || !extensions.Takes(path->mid(path->lastIndexOf(QLatin1Char('/')) + 1))) {
            continue;
        }
        ListedSource source{*path, {PathText(AbsolutePath(PathBytes(*path))), QString()}, 0};
        for (const QString& root : roots) {
            if (source.run.path.startsWith(root + QLatin1Char('/'))) {
                source.run.root = root;
            }
        }
        std::vector<PlannedSource> planned;
        if (PlanSources({source}, each, line, Shard{}, &planned)) {
            RunPlannedSources(planned, settings, options, std::ref(report));
        }
    }
}

// Settles everything a run needs; returns the exit status when the program ends here.
int Run(const CommandLine& line, int argc, char* argv[]) {
    const Shard shard = line.shard ? ParseShard(*line.shard) : Shard{};
    const int jobs = Jobs(line);
    const std::optional<PictureExtensions> extensions =
        PictureExtensions::Parse(line.extension.value_or(QStringLiteral("jpg")));
    if (!extensions) {
        throw UsageError(QStringLiteral("--ext \"%1\": extensions such as jpg or jpg,png, "
                                        "'pictures' or '*'")
                             .arg(*line.extension));
    }
    const KeepTime keepTime = KeepTimeOf(line);

    const Environment env = Environment::System();
    // The font size of the window's stamp-text box before a stored size replaces it.
    const double designFontSize = QGuiApplication::font().pointSizeF();
    SettingsWarnings warnings;
    const SettingsStore store(env.settingsFile);
    // The window stores its mode at its first start: an account that never ran it has
    // chosen nothing to stamp.
    const bool stored =
        !line.noSettings && !store.GetSetting(QString::fromLatin1(key::kCombo1)).isEmpty();
    StampSettings settings = line.noSettings
                                 ? BuiltinStartSettings(env)
                                 : StoredStartSettings(store, env, designFontSize, &warnings);
    ApplyOverrides(settings, line, env);
    const SourceStampTexts texts(settings, env, env.now());
    for (const QString& warning : warnings) {
        PrintMessage(QStringLiteral("warning: ") + warning);
    }

    if (line.printSettings) {
        return WriteOut(StampSettingsText(settings).toUtf8()) ? kExitOk : kExitFailed;
    }
    if (line.operands.empty()) {
        throw UsageError(
            QStringLiteral("no pictures named (FILE, FOLDER or - for standard input)"));
    }
    // The window's stored folder (or the desktop) is never taken silently: copies must go
    // where the command line says.
    if (!line.Gave(StampOption::Output)) {
        throw UsageError(QStringLiteral("no output folder: name one with -o DIR"));
    }
    if (!line.Gave(StampOption::Text) && !line.Gave(StampOption::Template) &&
        !line.Gave(StampOption::Mode) && !stored) {
        throw UsageError(QStringLiteral(
            "nothing to stamp: give a text (-t TEXT or --template TEXT) or a --mode "
            "(time, date, datetime, name, stem or path)"));
    }
    if (!IsFolder(settings.outputFolder)) {
        PrintError(settings.outputFolder, QStringLiteral("the output folder does not exist"));
        return kExitUsage;
    }
    const QString outputFolder = PathText(AbsolutePath(PathBytes(settings.outputFolder)));
    try {
        CheckResultFolder(outputFolder);
    } catch (const ResultFileError& e) {
        PrintError(outputFolder, e.reason());
        return kExitUsage;
    }
    const FontCheck font = CheckFont(settings.fontFamily, settings.fontBold, settings.fontItalic);
    if (!font.installed && !line.quiet) {
        PrintMessage(QStringLiteral("warning: the font \"%1\" is not installed; \"%2\" is used "
                                    "instead")
                         .arg(font.family, font.drawnWith));
    }

    // Watched before the pictures there are stamped: nothing written meanwhile is missed.
    std::unique_ptr<FolderWatch> watch;
    if (line.watch) {
        QStringList folders;
        for (const QByteArray& operand : line.operands) {
            if (IsFolder(PathText(operand))) {
                folders << PathText(AbsolutePath(operand));
            }
        }
        if (folders.isEmpty()) {
            throw UsageError(QStringLiteral("--watch needs a FOLDER to watch"));
        }
        FolderWatchOptions watchOptions;
        watchOptions.skipFolders = {outputFolder};
        watch = std::make_unique<FolderWatch>(folders, watchOptions);
    }

    QList<StepFailure> scanProblems;
    int leftOut = 0;
    const std::vector<ListedSource> sources = SourcesOf(line, *extensions, &scanProblems, &leftOut);
    for (const StepFailure& problem : scanProblems) {
        PrintMessage(problem.description.simplified());
    }
    RunPlanChoices planChoices;
    planChoices.outputFolder = outputFolder;
    // A watch started again stamps only what arrived meanwhile.
    planChoices.skipExisting = line.skipExisting || line.watch;
    planChoices.mirror = line.mirror;
    std::vector<PlannedSource> planned;
    if (!PlanSources(sources, planChoices, line, shard, &planned)) {
        return kExitUsage;
    }

    RunOptions options;
    options.jobs = jobs;
    options.dryRun = line.dryRun;
    options.keepTime = keepTime;
    options.outputFolder = outputFolder;
    options.listSize = static_cast<int>(sources.size());
    // Composed by the workers from the facts each source's road read.
    options.stopRequested = StopRequested;
    options.textFor = [&texts](const ListedSource& source, const PhotoFacts* facts) {
        return texts.For(source, facts);
    };
    if (!line.dryRun) {
        try {
            const QString temp = PrivateTempFolder();
            SweepEndedWorkFolders(temp, "stamp");
            options.workFolder = MakeWorkFolder(temp, "stamp");
        } catch (const VbError& e) {
            PrintMessage(e.description());
            return kExitUsage;
        }
    }

    // From here on files are written: an interruption lets the pictures in progress end.
    CatchInterruptions();
    Reporter report(line, static_cast<int>(planned.size()));
    report.summary().leftOut = leftOut;
    RunPlannedSources(planned, settings, options, std::ref(report));
    if (watch && !line.dryRun) {
        report.Finish();
        if (!line.quiet) {
            PrintMessage(report.summary().Text(false) +
                         QStringLiteral("; watching for new pictures (Ctrl-C ends)"));
        }
        WatchFolders(line, *watch, *extensions, planChoices, settings, options, report);
    }
    report.Finish();
    if (!options.workFolder.isEmpty()) {
        RemoveWorkFolder(options.workFolder);
    }
    if (Interrupted()) {
        if (!line.quiet) {
            PrintMessage(PathText(report.summary().InterruptedText(argc, argv)));
        }
        return kExitInterrupted;
    }
    if (!line.quiet) {
        PrintMessage(report.summary().Text(line.dryRun));
    }
    // A folder the scan could not read is a failure too: what it holds went unstamped.
    return report.summary().failed > 0 || report.outputFailed() || !scanProblems.isEmpty()
               ? kExitFailed
               : kExitOk;
}

}  // namespace

int RunStampCommand(int argc, char* argv[]) {
    CommandLine line;
    try {
        line = ParseCommandLine(argc, argv);
    } catch (const UsageError& e) {
        PrintMessage(e.message());
        PrintMessage(QStringLiteral("try 'velloran-stamp --help'"));
        return kExitUsage;
    }
    if (line.help) {
        return WriteOut(HelpText()) ? kExitOk : kExitFailed;
    }
    if (line.version) {
        return WriteOut(VersionText()) ? kExitOk : kExitFailed;
    }
    // A closed standard output is reported as a failed write, not by SIGPIPE ending the
    // program in the middle of a picture.
    std::signal(SIGPIPE, SIG_IGN);
    // Fonts need a GUI application, not a display: the offscreen platform draws with the
    // same font database. Qt is given no arguments: a file named like one of its own
    // options ("-platform") must stay a file.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QtMessage);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    // Before any worker starts: the picture limit and the metadata library's set-up.
    StartEngine();
    try {
        return Run(line, argc, argv);
    } catch (const UsageError& e) {
        PrintMessage(e.message());
        PrintMessage(QStringLiteral("try 'velloran-stamp --help'"));
        return kExitUsage;
    }
}

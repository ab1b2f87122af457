// SPDX-License-Identifier: MIT
#include "stamp_command.h"

#include "command_line.h"
#include "core/stamp_modes.h"
#include "core/stamp_text.h"
#include "engine/engine_start.h"
#include "engine/entry_stamp_text.h"
#include "engine/folder_tree_files.h"
#include "engine/photo_facts.h"
#include "engine/run_plan.h"
#include "engine/stamp_source.h"
#include "interruption.h"
#include "json_line.h"
#include "progress_meter.h"
#include "settings/settings_store.h"
#include "shard.h"
#include "source_list.h"
#include "stamp_choices.h"
#include "stamp_run.h"
#include "text_template.h"
#include "util/environment.h"
#include "util/path_bytes.h"
#include "util/temp_folder.h"
#include "util/vb_error.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>

#include <sys/stat.h>
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

QString Extension(const CommandLine& line) {
    QString extension = line.extension.trimmed();
    // "*.jpg" and ".jpg" say the same as "jpg".
    if (extension.startsWith(QLatin1String("*.")) && extension.size() > 2) {
        extension = extension.mid(2);
    } else if (extension.startsWith(QLatin1Char('.'))) {
        extension = extension.mid(1);
    }
    if (extension.isEmpty() || extension.contains(QLatin1Char('/'))) {
        throw UsageError(
            QStringLiteral("--ext \"%1\": an extension such as jpg, or '*'").arg(line.extension));
    }
    return extension;
}

bool IsFolder(const QByteArray& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

StampSettings EngineSettings(const StampChoices& choices) {
    StampSettings settings;
    settings.mode = choices.mode;
    settings.text = choices.text;
    settings.position = choices.position;
    settings.fontFamily = choices.fontName;
    settings.fontSize = choices.fontSize;
    settings.fontBold = choices.bold;
    settings.fontItalic = choices.italic;
    settings.fontStrikeout = choices.strikeout;
    settings.fontUnderline = choices.underline;
    settings.color = choices.color;
    settings.style = choices.style;
    settings.quality = choices.quality;
    return settings;
}

// The stamp text of each source, as the window puts it into its stamp-text box; a
// template's facts come from the engine's one reading of the source's metadata.
class SourceTexts {
public:
    SourceTexts(const StampChoices& choices, const Environment& env)
        : SourceTexts(choices, env, env.now()) {}

    // One moment for {date} and {time}: two readings could straddle midnight.
    SourceTexts(const StampChoices& choices, const Environment& env, const QDateTime& now)
        : choices_(choices),
          env_(env),
          date_(DateText(now, env.locale)),
          time_(TimeText(now, env.locale)) {
        if (choices.isTemplate) {
            template_.emplace(choices.text);
        }
    }

    // `facts`: what the source's road read; null for a source that is not stamped, whose
    // metadata is then read here if the template asks for it.
    QString For(const Source& source, const PhotoFacts* facts) const {
        // A name that is not UTF-8 is stamped as people see it, not as its kept bytes.
        const QString path = PathForPeople(source.run.path);
        if (!template_ || choices_.mode != 0) {
            return EntryStampText(choices_.mode, path, choices_.text);
        }
        std::optional<PhotoFacts> own;
        auto photo = [&]() -> const PhotoFacts& {
            if (facts == nullptr && !own) {
                own.emplace(ReadSourceMetadata(source.run.path));
            }
            return facts != nullptr ? *facts : *own;
        };
        TextTemplate::Source parts;
        parts.path = path;
        parts.position = source.position;
        parts.date = date_;
        parts.time = time_;
        parts.taken = [&] { return photo().Taken(); };
        parts.exif = [&](const QString& tag) { return photo().Tag(tag); };
        parts.dateTimeText = [this](const QDateTime& when) {
            return DateTimeText(when, env_.locale);
        };
        return template_->Expand(parts);
    }

private:
    const StampChoices& choices_;
    const Environment& env_;
    QString date_;
    QString time_;
    std::optional<TextTemplate> template_;
};

// Qt's own notes ("XDG_RUNTIME_DIR not set", font fallbacks) are not the user's business
// on a command line whose standard error holds one line per failed source; only Qt's
// critical messages are kept, in the program's own form.
void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        PrintMessage(message);
    }
}

// The run's private work folder inside the user's private temporary folder.
QString MakeWorkFolder() {
    QByteArray pattern = PathBytes(PrivateTempFolder() + QStringLiteral("/stamp-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr) {
        Raise(vberr::kPathFileAccess,
              QStringLiteral("cannot make a work folder in %1").arg(PrivateTempFolder()));
    }
    return PathText(pattern);
}

// Settles everything a run needs; returns the exit status when the program ends here.
int Run(const CommandLine& line) {
    const Shard shard = line.shard ? ParseShard(*line.shard) : Shard{};
    const int jobs = Jobs(line);
    const QString extension = Extension(line);

    const Environment env = Environment::System();
    // The font size of the window's stamp-text box before a stored size replaces it.
    const double designFontSize = QGuiApplication::font().pointSizeF();
    SettingsWarnings warnings;
    StampChoices choices;
    if (line.noSettings) {
        choices = BuiltinChoices(env);
    } else {
        const SettingsStore store(env.settingsFile);
        choices = StoredChoices(store, env, designFontSize, &warnings);
    }
    ApplyOverrides(choices, line, env);
    // A template is checked before anything is read or written.
    const SourceTexts texts(choices, env);
    for (const QString& warning : warnings) {
        PrintMessage(QStringLiteral("warning: ") + warning);
    }

    if (line.printSettings) {
        return WriteOut(SettingsText(choices).toUtf8()) ? kExitOk : kExitFailed;
    }
    if (line.operands.empty()) {
        throw UsageError(
            QStringLiteral("no pictures named (FILE, FOLDER or - for standard input)"));
    }
    if (choices.outputFolder.isEmpty()) {
        throw UsageError(QStringLiteral("no output folder: name one with --output"));
    }
    if (!IsFolder(choices.outputFolder)) {
        PrintError(PathText(choices.outputFolder),
                   QStringLiteral("the output folder does not exist"));
        return kExitUsage;
    }
    const QString outputFolder = PathText(AbsolutePath(choices.outputFolder));

    QList<StepFailure> scanProblems;
    const QString pattern = QStringLiteral("*.") + extension;
    const std::vector<Source> sources =
        CollectSources(line.operands, line.nulSeparated, stdin, [&](const QString& folder) {
            return FolderTreeFiles(folder, pattern, NameBytes::Any, &scanProblems);
        });
    for (const StepFailure& problem : scanProblems) {
        PrintMessage(problem.description.simplified());
    }

    std::vector<RunSource> listed;
    listed.reserve(sources.size());
    for (const Source& source : sources) {
        listed.push_back(source.run);
    }
    RunPlanChoices planChoices;
    planChoices.outputFolder = outputFolder;
    planChoices.skipExisting = line.skipExisting;
    const std::vector<PlannedCopy> plan = PlanRun(listed, planChoices);

    std::vector<PlannedSource> planned;
    bool refused = false;
    for (const PlannedCopy& copy : plan) {
        const Source& source = sources[size_t(copy.index)];
        if (!shard.Holds(source.position)) {
            continue;
        }
        PlannedSource item{source, copy, QString()};
        if (copy.action == CopyAction::Clash) {
            item.note = QStringLiteral("skipped: %1, later in the list, has the same name")
                            .arg(sources[size_t(copy.clashWith)].given);
        } else if (copy.action == CopyAction::Stamp && copy.replacesSource &&
                   !line.replaceOriginals) {
            PrintError(source.given,
                       QStringLiteral("the copy would replace the original "
                                      "(choose another --output, or --replace-originals)"));
            refused = true;
        }
        planned.push_back(std::move(item));
    }
    if (refused) {
        return kExitUsage;
    }
    RunOptions options;
    options.jobs = jobs;
    options.dryRun = line.dryRun;
    options.listSize = static_cast<int>(sources.size());
    // Composed by the workers from the facts each source's road read.
    options.textFor = [&texts](const Source& source, const PhotoFacts* facts) {
        return texts.For(source, facts);
    };
    if (!line.dryRun) {
        try {
            options.workFolder = MakeWorkFolder();
        } catch (const VbError& e) {
            PrintMessage(e.description());
            return kExitUsage;
        }
    }

    // From here on files are written: an interruption lets the pictures in progress end.
    CatchInterruptions();
    ProgressMeter meter(stderr, static_cast<int>(planned.size()), !line.quiet);
    // Shown at once: the first picture of a camera may take a second.
    meter.Update(0, QString());
    bool outputFailed = false;
    int done = 0;
    int failed = 0;
    RunPlannedSources(planned, EngineSettings(choices), options, [&](const SourceReport& report) {
        ++done;
        if (report.status == SourceStatus::Error) {
            ++failed;
        }
        if (report.error) {
            meter.Clear();
            PrintError(PathText(report.source), *report.error);
        }
        bool written = true;
        if (line.json) {
            written = WriteOut(JsonLine(report));
        } else if (line.dryRun) {
            written = WriteOut(report.source + " -> " + report.output + "\n");
        }
        if (!written && !outputFailed) {
            // Nobody reads the reports any more: stamping on would go unseen.
            outputFailed = true;
            StopStarting();
            PrintMessage(QStringLiteral("standard output: %1").arg(qt_error_string(errno)));
        }
        meter.Update(done, PathForPeople(PathText(report.source)));
    });
    meter.Clear();
    if (!options.workFolder.isEmpty()) {
        QDir(options.workFolder).removeRecursively();
    }
    if (Interrupted()) {
        return kExitInterrupted;
    }
    // A folder the scan could not read is a failure too: what it holds went unstamped.
    return failed > 0 || outputFailed || !scanProblems.isEmpty() ? kExitFailed : kExitOk;
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
        return Run(line);
    } catch (const UsageError& e) {
        PrintMessage(e.message());
        PrintMessage(QStringLiteral("try 'velloran-stamp --help'"));
        return kExitUsage;
    }
}

// SPDX-License-Identifier: MIT
#include "command_line.h"

#include "engine/stamp_setting_table.h"
#include "engine/stamp_style_parsing.h"
#include "util/path_bytes.h"
#include "velloran_version.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include <getopt.h>
#include <sys/stat.h>

namespace {

// The options that are not stamp settings, in --help order: each sets one field of the
// command line. The settings' own options come from their declaration.
enum class RunGroup { Sources, Settings, Running };

struct RunOption {
    RunGroup group;
    const char* longName;
    char shortName;        // '\0' when there is none
    const char* argument;  // the argument's name in --help; nullptr for a flag
    const char* help;
    bool CommandLine::*flag = nullptr;
    std::optional<QString> CommandLine::*value = nullptr;
    // The value of an option whose argument may be left out, when it is; nullptr when the
    // argument is required.
    const char* absentArgument = nullptr;
};

const RunOption kRunOptions[] = {
    {RunGroup::Sources, "null", '0', nullptr,
     "paths on standard input are NUL-separated, not one per line", &CommandLine::nulSeparated},
    {RunGroup::Sources, "ext", '\0', "EXT[,EXT...]",
     "extensions a folder scan takes (default jpg; 'pictures' for every kind this program "
     "stamps, '*' for every file)",
     nullptr, &CommandLine::extension},
    {RunGroup::Settings, "no-settings", '\0', nullptr,
     "start from the built-in defaults, not the stored settings", &CommandLine::noSettings},
    {RunGroup::Settings, "print-settings", '\0', nullptr,
     "print the settings a run would use and exit", &CommandLine::printSettings},
    {RunGroup::Running, "jobs", 'j', "N", "stamp N pictures at a time (default: one per core)",
     nullptr, &CommandLine::jobs},
    {RunGroup::Running, "shard", '\0', "K/N",
     "take only the K-th of N equal parts of the source list", nullptr, &CommandLine::shard},
    {RunGroup::Running, "skip-existing", '\0', nullptr,
     "leave copies that already exist in the output folder", &CommandLine::skipExisting},
    {RunGroup::Running, "dry-run", 'n', nullptr, "report what would be done, write nothing",
     &CommandLine::dryRun},
    {RunGroup::Running, "json", '\0', nullptr, "one JSON object per source on standard output",
     &CommandLine::json},
    {RunGroup::Running, "quiet", 'Q', nullptr, "no progress bar", &CommandLine::quiet},
    {RunGroup::Running, "replace-originals", '\0', nullptr,
     "allow copies that replace their own source files", &CommandLine::replaceOriginals},
    {RunGroup::Running, "mirror", '\0', nullptr,
     "keep each copy in its source's folders below the FOLDER it was found in",
     &CommandLine::mirror},
    {RunGroup::Running, "keep-time", '\0', "[=WHICH]",
     "give each copy its source's time: modified (default) or taken (the date the photo was "
     "taken)",
     nullptr, &CommandLine::keepTime, "modified"},
    {RunGroup::Running, "watch", '\0', nullptr,
     "after the pictures there are, stamp each new one in the FOLDERs once it is complete, "
     "until interrupted",
     &CommandLine::watch},
    {RunGroup::Running, "help", '\0', nullptr, "print this help and exit", &CommandLine::help},
    {RunGroup::Running, "version", '\0', nullptr, "print the version and exit",
     &CommandLine::version},
};

// getopt's value for an option without a short form: a settings option's is
// kSettingOption + its StampOption, a run option's kRunOption + its place in kRunOptions.
constexpr int kSettingOption = 256;
constexpr int kRunOption = 512;

int OptionValue(const StampOptionWord& word) {
    return word.shortName != '\0' ? word.shortName
                                   : kSettingOption + static_cast<int>(word.id);
}

int OptionValue(const RunOption& run) {
    return run.shortName != '\0' ? run.shortName
                                  : kRunOption + static_cast<int>(&run - std::begin(kRunOptions));
}

// getopt's tables: the settings' options in declaration order, then the others.
struct GetoptTables {
    std::string shortOptions;
    std::vector<option> longOptions;
};

const GetoptTables& Tables() {
    static const GetoptTables tables = [] {
        GetoptTables t;
        // The leading ":" makes a missing argument distinguishable from an unknown option.
        t.shortOptions = ":";
        for (const StampSettingDeclaration& setting : StampSettingTable()) {
            for (const StampOptionWord& word : setting.options) {
                const int argument = word.optionalArgument ? optional_argument
                                                           : required_argument;
                t.longOptions.push_back({word.longName, argument, nullptr, OptionValue(word)});
                if (word.alias != nullptr) {
                    t.longOptions.push_back({word.alias, argument, nullptr, OptionValue(word)});
                }
                if (word.shortName != '\0') {
                    t.shortOptions += word.shortName;
                    t.shortOptions += ':';
                }
            }
        }
        for (const RunOption& run : kRunOptions) {
            const int argument = run.argument == nullptr ? no_argument
                                 : run.absentArgument != nullptr ? optional_argument
                                                                 : required_argument;
            t.longOptions.push_back({run.longName, argument, nullptr, OptionValue(run)});
            if (run.shortName != '\0') {
                t.shortOptions += run.shortName;
                t.shortOptions += argument == required_argument ? ":" : "";
            }
        }
        t.longOptions.push_back({nullptr, 0, nullptr, 0});
        return t;
    }();
    return tables;
}

// The settings option getopt returned `value` for, if it is one.
const StampOptionWord* SettingOption(int value) {
    for (const StampSettingDeclaration& setting : StampSettingTable()) {
        for (const StampOptionWord& word : setting.options) {
            if (OptionValue(word) == value) {
                return &word;
            }
        }
    }
    return nullptr;
}

QString Text(const char* argument) {
    return QString::fromLocal8Bit(argument);
}

// Whether the word after an option whose argument may be left out is its argument: a
// value the option takes, or a word meant as one ("2pz", "0.4em,#00000080": a digit, a
// dot or a comma first) that names no file, so that a mistyped value is reported as such
// rather than looked for as a source.
bool IsOptionalArgument(const char* word) {
    if (word[0] == '\0') {
        return false;
    }
    if (ParseStampDecoration(Text(word)).value) {
        return true;
    }
    struct stat st {};
    return std::strchr("0123456789.,", word[0]) != nullptr && ::lstat(word, &st) != 0;
}

// The argument of an option whose argument may be left out. getopt takes it only as
// "--outline=2px"; a user types "--outline 2px" as well, so the next word is taken when it
// is meant as the argument. Any other word ("photo.jpg", "-p") is left for getopt, and the
// option keeps its defaults (an empty argument).
const char* OptionalArgument(int argc, char* argv[]) {
    if (optarg != nullptr) {
        return optarg;
    }
    if (optind < argc && IsOptionalArgument(argv[optind])) {
        // glibc's getopt reads optind afresh on each call and moves operands before the
        // options it skips past, so stepping over the word is what a separate required
        // argument does.
        return argv[optind++];
    }
    return "";
}

// The name of the option getopt stopped at, for a message: the long option as typed
// (without its "=value"), else the short one.
QString OffendingOption(int argc, char* argv[], int shortOption) {
    const int at = optind - 1;
    if (at > 0 && at < argc && argv[at][0] == '-' && argv[at][1] == '-') {
        QString text = QString::fromLocal8Bit(argv[at]);
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        return equals > 0 ? text.left(equals) : text;
    }
    return QStringLiteral("-") + QChar(shortOption > 0 && shortOption < 256 ? shortOption : '?');
}

// The help lines of the run options of one group.
QString RunHelp(RunGroup group) {
    QString lines;
    for (const RunOption& run : kRunOptions) {
        if (run.group == group) {
            const bool attached = run.argument != nullptr && run.argument[0] == '[';
            const QString argument = run.argument == nullptr ? QString()
                                     : attached ? QString::fromLatin1(run.argument)
                                                : QLatin1Char(' ') + QString::fromLatin1(run.argument);
            lines += OptionHelpLines(run.shortName, QString::fromLatin1(run.longName) + argument,
                                     QString::fromLatin1(run.help));
        }
    }
    return lines;
}

QByteArray BuildHelpText() {
    return "Usage: velloran-stamp [OPTIONS] [FILE|FOLDER|-]...\n"
           "Stamps a text onto each picture and writes the stamped copy, under the source's\n"
           "name and in its format, into the output folder, as the window's \"Start Stamping\"\n"
           "does. The window's stored settings are the defaults; this program never changes\n"
           "them. A FOLDER is scanned with its subfolders; - reads paths from standard input.\n"
           "\n"
           "Sources:\n" +
           RunHelp(RunGroup::Sources).toUtf8() + "Settings:\n" +
           StampOptionsHelpText().toUtf8() + RunHelp(RunGroup::Settings).toUtf8() +
           "Running:\n" + RunHelp(RunGroup::Running).toUtf8() +
           "\n"
           "Placeholders of --template: {name} {stem} {ext} {path} {folder} {n} {date} {time}\n"
           "{taken} {taken:FORMAT} {exif:Tag}; {{ and }} stand for braces.\n"
           "Exit status: 0 all stamped or skipped, 1 some failed, 2 usage error or nothing could\n"
           "start (no -o, no such output folder, nothing to stamp), 130 interrupted.\n"
           "See velloran-stamp(1).\n";
}

// The run option getopt returned `value` for, if it is one.
const RunOption* RunOptionOf(int value) {
    for (const RunOption& run : kRunOptions) {
        if (OptionValue(run) == value) {
            return &run;
        }
    }
    return nullptr;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char* argv[]) {
    CommandLine line;
    // Options and operands may be mixed, as GNU tools allow: getopt moves the operands
    // to the end itself. Its own messages are replaced by ours.
    opterr = 0;
    optind = 0;  // glibc: start afresh, so the parser may run more than once
    for (;;) {
        const GetoptTables& tables = Tables();
        const int c = getopt_long(argc, argv, tables.shortOptions.c_str(),
                                  tables.longOptions.data(), nullptr);
        if (c == -1) {
            break;
        }
        if (const StampOptionWord* setting = SettingOption(c)) {
            const char* argument =
                setting->optionalArgument ? OptionalArgument(argc, argv) : optarg;
            line.settingWords.push_back(
                {setting->id, setting->id == StampOption::Output ? PathText(QByteArray(argument))
                                                                 : Text(argument)});
            continue;
        }
        if (const RunOption* run = RunOptionOf(c)) {
            if (run->flag != nullptr) {
                line.*run->flag = true;
            } else {
                line.*run->value = Text(optarg != nullptr ? optarg : run->absentArgument);
            }
            continue;
        }
        switch (c) {
            case ':':
                throw UsageError(QStringLiteral("option '%1' needs an argument")
                                     .arg(OffendingOption(argc, argv, optopt)));
            default:
                // '?': an unknown option, or a long one given an argument it does not take.
                throw UsageError(
                    QStringLiteral("unknown option '%1'").arg(OffendingOption(argc, argv, optopt)));
        }
    }
    for (int i = optind; i < argc; ++i) {
        line.operands.emplace_back(argv[i]);
    }
    return line;
}

void ApplyOverrides(StampSettings& settings, const CommandLine& line, const Environment& env) {
    const QString why = ApplyStampSettingWords(settings, line.settingWords, env);
    if (!why.isEmpty()) {
        throw UsageError(why);
    }
}

bool CommandLine::Gave(StampOption option) const {
    return std::any_of(settingWords.begin(), settingWords.end(),
                       [option](const StampSettingWord& word) { return word.option == option; });
}

const char* HelpText() {
    static const QByteArray text = BuildHelpText();
    return text.constData();
}

const char* VersionText() {
    return "velloran-stamp " VELLORAN_VERSION "\n";
}

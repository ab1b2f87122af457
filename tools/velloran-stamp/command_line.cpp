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

// Long options without a short form. A settings option without one is
// kSettingOption + its StampOption.
enum LongOnly {
    kExt = 256,
    kNoSettings,
    kPrintSettings,
    kShard,
    kSkipExisting,
    kJson,
    kReplaceOriginals,
    kHelp,
    kVersion,
    kMirror,
    kKeepTime,
    kWatch,
    kSettingOption = 512,
};

// The options that are not stamp settings; the settings' own come from their declaration.
const option kRunOptions[] = {
    {"null", no_argument, nullptr, '0'},
    {"ext", required_argument, nullptr, kExt},
    {"no-settings", no_argument, nullptr, kNoSettings},
    {"print-settings", no_argument, nullptr, kPrintSettings},
    {"jobs", required_argument, nullptr, 'j'},
    {"shard", required_argument, nullptr, kShard},
    {"skip-existing", no_argument, nullptr, kSkipExisting},
    {"dry-run", no_argument, nullptr, 'n'},
    {"json", no_argument, nullptr, kJson},
    {"quiet", no_argument, nullptr, 'Q'},
    {"replace-originals", no_argument, nullptr, kReplaceOriginals},
    {"mirror", no_argument, nullptr, kMirror},
    {"keep-time", optional_argument, nullptr, kKeepTime},
    {"watch", no_argument, nullptr, kWatch},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
};

int OptionValue(const StampOptionWord& word) {
    return word.shortName != '\0' ? word.shortName
                                   : kSettingOption + static_cast<int>(word.id);
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
        t.shortOptions = ":0";
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
        t.shortOptions += "j:nQ";
        t.longOptions.insert(t.longOptions.end(), std::begin(kRunOptions), std::end(kRunOptions));
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

QByteArray BuildHelpText() {
    return "Usage: velloran-stamp [OPTIONS] [FILE|FOLDER|-]...\n"
           "Stamps a text onto each picture and writes the stamped copy, under the source's\n"
           "name and in its format, into the output folder, as the window's \"Start Stamping\"\n"
           "does. The window's stored settings are the defaults; this program never changes\n"
           "them. A FOLDER is scanned with its subfolders; - reads paths from standard input.\n"
           "\n"
           "Sources:\n"
           "  -0, --null                 paths on standard input are NUL-separated, not one per "
           "line\n"
           "      --ext EXT[,EXT...]     extensions a folder scan takes (default jpg; 'pictures' for\n"
           "                             every kind this program stamps, '*' for every file)\n"
           "Settings:\n" +
           StampOptionsHelpText().toUtf8() +
           "      --no-settings          start from the built-in defaults, not the stored "
           "settings\n"
           "      --print-settings       print the settings a run would use and exit\n"
           "Running:\n"
           "  -j, --jobs N               stamp N pictures at a time (default: one per core)\n"
           "      --shard K/N            take only the K-th of N equal parts of the source list\n"
           "      --skip-existing        leave copies that already exist in the output folder\n"
           "  -n, --dry-run              report what would be done, write nothing\n"
           "      --json                 one JSON object per source on standard output\n"
           "  -Q, --quiet                no progress bar\n"
           "      --replace-originals    allow copies that replace their own source files\n"
           "      --mirror               keep each copy in its source's folders below the FOLDER\n"
           "                             it was found in\n"
           "      --keep-time[=WHICH]    give each copy its source's time: modified (default) or\n"
           "                             taken (the date the photo was taken)\n"
           "      --watch                after the pictures there are, stamp each new one in the\n"
           "                             FOLDERs once it is complete, until interrupted\n"
           "      --help                 print this help and exit\n"
           "      --version              print the version and exit\n"
           "\n"
           "Placeholders of --template: {name} {stem} {ext} {path} {folder} {n} {date} {time}\n"
           "{taken} {taken:FORMAT} {exif:Tag}; {{ and }} stand for braces.\n"
           "Exit status: 0 all stamped or skipped, 1 some failed, 2 usage error or nothing could\n"
           "start (no -o, no such output folder, nothing to stamp), 130 interrupted.\n"
           "See velloran-stamp(1).\n";
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
        switch (c) {
            case '0':
                line.nulSeparated = true;
                break;
            case kExt:
                line.extension = Text(optarg);
                break;
            case kNoSettings:
                line.noSettings = true;
                break;
            case kPrintSettings:
                line.printSettings = true;
                break;
            case 'j':
                line.jobs = Text(optarg);
                break;
            case kShard:
                line.shard = Text(optarg);
                break;
            case kSkipExisting:
                line.skipExisting = true;
                break;
            case 'n':
                line.dryRun = true;
                break;
            case kJson:
                line.json = true;
                break;
            case 'Q':
                line.quiet = true;
                break;
            case kMirror:
                line.mirror = true;
                break;
            case kKeepTime:
                line.keepTime = optarg != nullptr ? Text(optarg) : QStringLiteral("modified");
                break;
            case kWatch:
                line.watch = true;
                break;
            case kReplaceOriginals:
                line.replaceOriginals = true;
                break;
            case kHelp:
                line.help = true;
                break;
            case kVersion:
                line.version = true;
                break;
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

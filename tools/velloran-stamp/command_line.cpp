// SPDX-License-Identifier: MIT
#include "command_line.h"

#include "velloran_version.h"

#include <getopt.h>

namespace {

// Long options without a short form.
enum LongOnly {
    kExt = 256,
    kTemplate,
    kNoSettings,
    kPrintSettings,
    kShard,
    kSkipExisting,
    kJson,
    kReplaceOriginals,
    kHelp,
    kVersion,
};

// The leading ":" makes a missing argument distinguishable from an unknown option.
constexpr const char kShortOptions[] = ":0o:m:t:p:f:c:q:j:nQ";

const option kLongOptions[] = {
    {"null", no_argument, nullptr, '0'},
    {"ext", required_argument, nullptr, kExt},
    {"output", required_argument, nullptr, 'o'},
    {"mode", required_argument, nullptr, 'm'},
    {"text", required_argument, nullptr, 't'},
    {"template", required_argument, nullptr, kTemplate},
    {"position", required_argument, nullptr, 'p'},
    {"font", required_argument, nullptr, 'f'},
    {"color", required_argument, nullptr, 'c'},
    {"colour", required_argument, nullptr, 'c'},
    {"quality", required_argument, nullptr, 'q'},
    {"no-settings", no_argument, nullptr, kNoSettings},
    {"print-settings", no_argument, nullptr, kPrintSettings},
    {"jobs", required_argument, nullptr, 'j'},
    {"shard", required_argument, nullptr, kShard},
    {"skip-existing", no_argument, nullptr, kSkipExisting},
    {"dry-run", no_argument, nullptr, 'n'},
    {"json", no_argument, nullptr, kJson},
    {"quiet", no_argument, nullptr, 'Q'},
    {"replace-originals", no_argument, nullptr, kReplaceOriginals},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

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

QString Text(const char* argument) {
    return QString::fromLocal8Bit(argument);
}

}  // namespace

CommandLine ParseCommandLine(int argc, char* argv[]) {
    CommandLine line;
    // Options and operands may be mixed, as GNU tools allow: getopt moves the operands
    // to the end itself. Its own messages are replaced by ours.
    opterr = 0;
    optind = 0;  // glibc: start afresh, so the parser may run more than once
    for (;;) {
        const int c = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
        if (c == -1) {
            break;
        }
        switch (c) {
            case '0':
                line.nulSeparated = true;
                break;
            case kExt:
                line.extension = Text(optarg);
                break;
            case 'o':
                line.output = QByteArray(optarg);
                break;
            case 'm':
                line.mode = Text(optarg);
                break;
            case 't':
                line.text = Text(optarg);
                break;
            case kTemplate:
                line.templateText = Text(optarg);
                break;
            case 'p':
                line.position = Text(optarg);
                break;
            case 'f':
                line.font = Text(optarg);
                break;
            case 'c':
                line.color = Text(optarg);
                break;
            case 'q':
                line.quality = Text(optarg);
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

const char* HelpText() {
    return "Usage: velloran-stamp [OPTIONS] [FILE|FOLDER|-]...\n"
           "Stamps a text onto each picture and writes the stamped copy, under the source's\n"
           "name and in its format, into the output folder, as the window's \"Start Stamping\"\n"
           "does. The window's stored settings are the defaults; this program never changes\n"
           "them. A FOLDER is scanned with its subfolders; - reads paths from standard input.\n"
           "\n"
           "Sources:\n"
           "  -0, --null                 paths on standard input are NUL-separated, not one per "
           "line\n"
           "      --ext EXT              extension a folder scan takes (default jpg; '*' for every "
           "file)\n"
           "Settings:\n"
           "  -o, --output DIR           output folder\n"
           "  -m, --mode MODE            text, time, date, datetime, name, stem or path\n"
           "  -t, --text TEXT            the stamp text, taken literally (newlines start lines)\n"
           "      --template TEXT        the stamp text with placeholders such as {stem} or "
           "{taken}\n"
           "  -p, --position POS         upper-left, upper-right, lower-left, lower-right, "
           "center-top,\n"
           "                             center-left, center-right, center-bottom or center\n"
           "  -f, --font FONT            "
           "\"Family[,size][,bold][,italic][,strikeout][,underline]\"\n"
           "  -c, --color COLOR          text colour: #RRGGBB or a colour name\n"
           "  -q, --quality N            JPEG quality, 1 to 100\n"
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
           "      --help                 print this help and exit\n"
           "      --version              print the version and exit\n"
           "\n"
           "Placeholders of --template: {name} {stem} {ext} {path} {folder} {n} {date} {time}\n"
           "{taken} {taken:FORMAT} {exif:Tag}; {{ and }} stand for braces.\n"
           "Exit status: 0 all stamped or skipped, 1 some failed, 2 usage error or nothing could\n"
           "start, 130 interrupted. See velloran-stamp(1).\n";
}

const char* VersionText() {
    return "velloran-stamp " VELLORAN_VERSION "\n";
}

// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_setting_words.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <stdexcept>
#include <vector>

struct Environment;

// A command line the program cannot run: printed as "velloran-stamp: <message>" with a
// hint to --help, exit status 2, before any file is read or written.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Every option of the command line, as typed; the values are checked where they are
// turned into settings, sources and run choices.
struct CommandLine {
    bool help = false;
    bool version = false;

    // Operands in their own bytes: a file name need not be UTF-8.
    std::vector<QByteArray> operands;
    bool nulSeparated = false;  // -0: standard input holds NUL-separated paths
    std::optional<QString> extension;  // --ext; jpg when not given

    // The settings options, in the order given: overrides of the stored settings. The
    // output folder's text is PathText, any other value's the locale's reading.
    QList<StampSettingWord> settingWords;
    bool noSettings = false;
    bool printSettings = false;

    std::optional<QString> jobs;
    std::optional<QString> shard;
    bool skipExisting = false;
    bool dryRun = false;
    bool json = false;
    bool quiet = false;
    bool replaceOriginals = false;
    bool mirror = false;              // copies keep their folders below the folder argument
    std::optional<QString> keepTime;  // "modified" or "taken"
    bool watch = false;

    bool Gave(StampOption option) const;
};

// Reads argv with GNU-style long options and their short forms; options and operands
// may be mixed, "--" ends the options, and an option given twice keeps its last value.
// Throws UsageError for an unknown option or a missing argument.
CommandLine ParseCommandLine(int argc, char* argv[]);

// Reads the command line's settings options onto the settings (ApplyStampSettingWords).
// Throws UsageError for a value it cannot take.
void ApplyOverrides(StampSettings& settings, const CommandLine& line, const Environment& env);

// The --help text: one line per option.
const char* HelpText();
// "velloran-stamp <version>\n", the version of the window program.
const char* VersionText();

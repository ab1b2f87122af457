// SPDX-License-Identifier: MIT
#include "program_options.h"

#include "velloran_version.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char kHelp[] =
    "Usage: velloran [--help | --version]\n"
    "\n"
    "Stamps a text, the time, the date or the file name onto every image of a list\n"
    "and writes the stamped copies into an output folder. Everything is chosen in\n"
    "the window; other arguments are ignored.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Settings are kept in $XDG_CONFIG_HOME/Tellwick/Tellwick.ini (~/.config by default).\n"
    "See velloran(1).\n";

constexpr const char kVersion[] = "velloran " VELLORAN_VERSION "\n";

// A full disk or a closed pipe must not pass as success.
int Print(const char* text) {
    const bool written = std::fputs(text, stdout) >= 0;
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

std::optional<int> AnswerInfoOption(int argc, const char* const argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            return Print(kHelp);
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            return Print(kVersion);
        }
    }
    return std::nullopt;
}

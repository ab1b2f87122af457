// SPDX-License-Identifier: MIT
#include "program_options.h"
#include "ui/app_start.h"

int main(int argc, char* argv[]) {
    // --help and --version answer without a display, so they also work on a server
    // or in a package check.
    if (const std::optional<int> status = AnswerInfoOption(argc, argv)) {
        return *status;
    }
    return RunVelloran(argc, argv);
}

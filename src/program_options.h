// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

// Answers --help and --version before any window exists: prints the text and returns
// the exit status. Returns nothing for every other command line, whose arguments the
// program ignores.
std::optional<int> AnswerInfoOption(int argc, const char* const argv[]);

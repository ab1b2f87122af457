// SPDX-License-Identifier: MIT
#pragma once

// The whole program: reads the command line, settles the settings and the sources,
// stamps, reports, and returns the exit status (0 all stamped or skipped, 1 some failed,
// 2 usage error or nothing could start, 130 interrupted).
int RunStampCommand(int argc, char* argv[]);

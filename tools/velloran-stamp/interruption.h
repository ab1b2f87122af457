// SPDX-License-Identifier: MIT
#pragma once

// SIGINT and SIGTERM ask the run to stop: pictures in progress finish (or fail and
// leave nothing), no new one starts, and the program exits with 130. The handler only
// sets a flag, which the workers read before each picture.
void CatchInterruptions();
bool Interrupted();

// SPDX-License-Identifier: MIT
#pragma once

// SIGINT and SIGTERM ask the run to stop: pictures in progress finish (or fail and
// leave nothing), no new one starts, and the program exits with 130. The handler only
// sets a flag, which the workers read before each picture. Until CatchInterruptions()
// runs, the signals end the program at once, which is right while nothing is written.
void CatchInterruptions();
bool Interrupted();

// Asks the workers to start no more pictures for a reason of the program's own (its
// standard output is gone).
void StopStarting();
// True after an interruption or StopStarting().
bool StopRequested();

// SPDX-License-Identifier: MIT
#pragma once

// Creates the application, loads and shows the main window and runs the event loop.
int RunVelloran(int argc, char* argv[]);

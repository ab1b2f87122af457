// SPDX-License-Identifier: MIT
#include "stamp_command.h"

int main(int argc, char* argv[]) {
    return RunStampCommand(argc, argv);
}

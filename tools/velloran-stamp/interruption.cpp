// SPDX-License-Identifier: MIT
#include "interruption.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> interrupted{false};
std::atomic<bool> stopped{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set in a signal handler");

void OnSignal(int) {
    interrupted.store(true);
}

}  // namespace

void CatchInterruptions() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and waits resume: the flag is looked at between pictures.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() {
    return interrupted.load();
}

void StopStarting() {
    stopped.store(true);
}

bool StopRequested() {
    return interrupted.load() || stopped.load();
}

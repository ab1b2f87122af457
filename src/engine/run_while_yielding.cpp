// SPDX-License-Identifier: MIT
#include "engine/run_while_yielding.h"

#include <chrono>
#include <future>

void RunWhileYielding(const std::function<void()>& work, const std::function<void()>& yield) {
    constexpr std::chrono::milliseconds kPoll(20);
    std::future<void> done = std::async(std::launch::async, work);
    while (done.wait_for(kPoll) != std::future_status::ready) {
        yield();
    }
    done.get();
}

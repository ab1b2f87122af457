// SPDX-License-Identifier: MIT
#include "modern_formats/run_while_yielding.h"

#include <QCoreApplication>

#include <chrono>
#include <future>

void RunWhileYielding(const std::function<void()>& work) {
    constexpr std::chrono::milliseconds kPoll(20);
    std::future<void> done = std::async(std::launch::async, work);
    while (done.wait_for(kPoll) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    done.get();
}

// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

// Runs `work` on a thread of its own while this thread calls `yield` every 20 ms (the
// window handles its events there), and returns when it has ended; what `work` throws is
// thrown here. Encoding a
// large HEIC or AVIF takes seconds: the window stays usable meanwhile, as it does while
// the converter runs. `work` must touch nothing that the window's handlers change.
void RunWhileYielding(const std::function<void()>& work, const std::function<void()>& yield);

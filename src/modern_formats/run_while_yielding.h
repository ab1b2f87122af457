// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

// Runs `work` on a thread of its own while this thread keeps handling the window's
// events, and returns when it has ended; what `work` throws is thrown here. Encoding a
// large HEIC or AVIF takes seconds: the window stays usable meanwhile, as it does while
// the converter runs. `work` must touch nothing that the window's handlers change.
void RunWhileYielding(const std::function<void()>& work);

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// One of N parts of a source list. Entry i (1-based) belongs to part ((i - 1) mod N) + 1:
// the parts differ in size by one at most, mix the folders of a scan, and depend only on
// the list, so N processes on any machines given the same list stamp each entry once.
struct Shard {
    int index = 1;  // K, 1-based
    int count = 1;  // N

    bool Holds(int position) const { return (position - 1) % count == index - 1; }
};

// "K/N" with 1 <= K <= N. Throws UsageError.
Shard ParseShard(const QString& text);

// SPDX-License-Identifier: MIT
#include "source_list.h"

namespace {

// Entries of standard input, split at the separator; a last entry without it counts.
std::vector<QByteArray> ReadEntries(std::FILE* input, char separator) {
    std::vector<QByteArray> entries;
    QByteArray entry;
    for (;;) {
        const int c = std::getc(input);
        if (c == EOF) {
            break;
        }
        if (c == static_cast<unsigned char>(separator)) {
            if (!entry.isEmpty()) {
                entries.push_back(entry);
            }
            entry.clear();
            continue;
        }
        entry.append(static_cast<char>(c));
    }
    if (!entry.isEmpty()) {
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace

std::vector<ListedSource> CollectSources(const std::vector<QByteArray>& operands, bool nulSeparated,
                                         std::FILE* input, const FolderScan& scan) {
    std::vector<QByteArray> names;
    bool inputRead = false;
    for (const QByteArray& operand : operands) {
        if (operand != "-") {
            names.push_back(operand);
        } else if (!inputRead) {
            // Standard input holds one list; a second "-" finds it empty.
            inputRead = true;
            for (const QByteArray& entry : ReadEntries(input, nulSeparated ? '\0' : '\n')) {
                names.push_back(entry);
            }
        }
    }
    return ListSources(names, scan);
}

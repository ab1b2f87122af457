// SPDX-License-Identifier: MIT
#include "util/shell_word.h"

#include <cstring>

QByteArray ShellWord(const QByteArray& word) {
    static constexpr char kSafe[] = "%+,-./0123456789:=@ABCDEFGHIJKLMNOPQRSTUVWXYZ_"
                                    "abcdefghijklmnopqrstuvwxyz";
    bool safe = !word.isEmpty();
    for (const char c : word) {
        safe = safe && c != '\0' && std::strchr(kSafe, c) != nullptr;
    }
    if (safe) {
        return word;
    }
    QByteArray quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? QByteArray("'\\''") : QByteArray(1, c);
    }
    return quoted + "'";
}

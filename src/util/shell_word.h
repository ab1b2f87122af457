// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

// One word for a POSIX shell: as it is when it holds only safe characters, else in single
// quotes.
QByteArray ShellWord(const QByteArray& word);

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

// "/proc/self/fd/<n>": how a command line names a descriptor that the child inherits
// rather than a file that anyone could replace under its name.
QString DescriptorPath(int fd);

// The descriptor number of a path written exactly as DescriptorPath writes it (no sign,
// no leading zero, nothing before or after), else nothing.
std::optional<int> DescriptorOfPath(const QString& path);

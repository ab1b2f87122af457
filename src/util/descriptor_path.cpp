// SPDX-License-Identifier: MIT
#include "util/descriptor_path.h"

namespace {

constexpr char kPrefix[] = "/proc/self/fd/";
// Descriptor numbers stay far below this; more digits are not a descriptor.
constexpr qsizetype kMaxDigits = 9;

}  // namespace

QString DescriptorPath(int fd) {
    return QLatin1String(kPrefix) + QString::number(fd);
}

std::optional<int> DescriptorOfPath(const QString& path) {
    if (!path.startsWith(QLatin1String(kPrefix))) {
        return std::nullopt;
    }
    const QString number = path.mid(qsizetype(sizeof kPrefix) - 1);
    if (number.isEmpty() || number.size() > kMaxDigits ||
        (number.size() > 1 && number.front() == u'0')) {
        return std::nullopt;
    }
    for (const QChar c : number) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
    }
    return number.toInt();
}

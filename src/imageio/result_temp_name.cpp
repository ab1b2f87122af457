// SPDX-License-Identifier: MIT
#include "imageio/result_temp_name.h"

#include "imageio/result_file.h"

namespace {

constexpr qsizetype kMaxExtension = 16;

bool IsLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsExtension(const QByteArray& extension) {
    if (extension.isEmpty() || extension.size() > kMaxExtension) {
        return false;
    }
    for (const char c : extension) {
        if (!IsLetterOrDigit(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace

QByteArray ResultTempName(const ResultWriter& writer, const QByteArray& letters,
                          const QByteArray& extension) {
    QByteArray name = QByteArray(kResultTempPrefix) + WriterTag(writer, letters);
    if (IsExtension(extension)) {
        name += '.' + extension;
    }
    return name;
}

std::optional<ResultWriter> ParseResultTempName(const QByteArray& name) {
    const QByteArray prefix(kResultTempPrefix);
    if (!name.startsWith(prefix)) {
        return std::nullopt;
    }
    QByteArray tag = name.mid(prefix.size());
    if (const qsizetype dot = tag.indexOf('.'); dot >= 0) {
        if (!IsExtension(tag.mid(dot + 1))) {
            return std::nullopt;
        }
        tag.truncate(dot);
    }
    return ParseWriterTag(tag);
}

bool IsAbandonedResultTempName(const QByteArray& name) {
    const std::optional<ResultWriter> writer = ParseResultTempName(name);
    return writer && IsEndedWriter(*writer);
}

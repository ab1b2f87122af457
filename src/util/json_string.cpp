// SPDX-License-Identifier: MIT
#include "util/json_string.h"

#include "util/path_bytes.h"

namespace {

void AppendEscaped(QByteArray& out, unsigned code) {
    out += "\\u";
    out += QByteArray::number(code, 16).rightJustified(4, '0');
}

}  // namespace

QByteArray JsonString(const QByteArray& bytes) {
    // PathText keeps each byte that is not UTF-8 as U+DC00 + byte, the very escape wanted.
    const QString text = PathText(bytes);
    QByteArray out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        if (QChar::isSurrogate(unit)) {
            const bool pair = QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
                              QChar::isLowSurrogate(text.at(i + 1).unicode());
            if (pair) {
                out += QStringView(text).sliced(i, 2).toUtf8();
                ++i;
            } else {
                AppendEscaped(out, unit);
            }
            continue;
        }
        switch (unit) {
            case u'"':
                out += "\\\"";
                break;
            case u'\\':
                out += "\\\\";
                break;
            case u'\n':
                out += "\\n";
                break;
            case u'\r':
                out += "\\r";
                break;
            case u'\t':
                out += "\\t";
                break;
            default:
                if (unit < 0x20 || unit == 0x7F) {
                    AppendEscaped(out, unit);
                } else {
                    out += QStringView(text).sliced(i, 1).toUtf8();
                }
        }
    }
    out += '"';
    return out;
}

QByteArray JsonString(const QString& text) {
    // A path's bytes that are not UTF-8 ride in the text as kept bytes (PathText).
    return JsonString(PathBytes(text));
}

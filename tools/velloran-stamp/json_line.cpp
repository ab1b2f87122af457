// SPDX-License-Identifier: MIT
#include "json_line.h"

namespace {

// The length of the valid UTF-8 sequence starting at i, 0 when the bytes there are not
// one (overlong forms, surrogates and values above U+10FFFF included).
int Utf8Length(const QByteArray& s, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(s.at(k)); };
    const unsigned char c = at(i);
    int length = 0;
    unsigned lowest = 0;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        lowest = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    unsigned value = c & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        const unsigned char next = at(i + k);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void AppendEscaped(QByteArray& out, unsigned code) {
    out += "\\u";
    out += QByteArray::number(code, 16).rightJustified(4, '0');
}

}  // namespace

QByteArray JsonString(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = Utf8Length(bytes, i);
        if (length == 0) {
            AppendEscaped(out, 0xDC00 + static_cast<unsigned char>(bytes.at(i)));
            ++i;
            continue;
        }
        if (length > 1) {
            out += bytes.mid(i, length);
            i += length;
            continue;
        }
        const char c = bytes.at(i++);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    AppendEscaped(out, static_cast<unsigned char>(c));
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

QByteArray JsonString(const QString& text) {
    return JsonString(text.toUtf8());
}

QByteArray JsonLine(const SourceReport& report) {
    QByteArray line = "{\"source\":" + JsonString(report.source);
    line += ",\"output\":" + JsonString(report.output);
    line += ",\"status\":" + JsonString(report.status);
    line += ",\"error\":" + (report.error ? JsonString(*report.error) : QByteArray("null"));
    line += ",\"text\":" + JsonString(report.text);
    line += ",\"ms\":" + QByteArray::number(report.ms);
    if (report.dryRun) {
        line += ",\"dry_run\":true";
    }
    line += "}\n";
    return line;
}

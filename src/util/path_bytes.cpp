// SPDX-License-Identifier: MIT
#include "util/path_bytes.h"

#include <QList>

#include <unistd.h>

#include <cerrno>

namespace {

constexpr char16_t kKeptByteBase = 0xDC00;

// A kept byte is a lone low surrogate from U+DC80 to U+DCFF; the same unit after a high
// surrogate is the second half of a character above U+FFFF (U+10080 is D800 DC80).
bool IsKeptByte(QStringView text, qsizetype at) {
    const char16_t unit = text[at].unicode();
    return unit >= kKeptByteBase + 0x80 && unit <= kKeptByteBase + 0xFF &&
           !(at > 0 && QChar::isHighSurrogate(text[at - 1].unicode()));
}

// The length of the valid UTF-8 sequence starting at `at`, 0 when the bytes there are not
// one (overlong forms, surrogates and values above U+10FFFF are not valid).
int ValidSequence(const unsigned char* s, qsizetype size, qsizetype at) {
    const unsigned char lead = s[at];
    if (lead < 0x80) {
        return 1;
    }
    int length = 0;
    char32_t lowest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > size) {
        return 0;
    }
    char32_t code = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const unsigned char next = s[at + i];
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

}  // namespace

QString PathText(const QByteArray& bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    QString text;
    text.reserve(size);
    qsizetype at = 0;
    while (at < size) {
        const int length = ValidSequence(s, size, at);
        if (length == 0) {
            text += QChar(char16_t(kKeptByteBase + s[at]));
            ++at;
            continue;
        }
        text += QString::fromUtf8(bytes.constData() + at, length);
        at += length;
    }
    return text;
}

QByteArray PathBytes(const QString& text) {
    if (!HoldsKeptBytes(text)) {
        return text.toUtf8();
    }
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsKeptByte(text, i)) {
            bytes += QStringView(text).sliced(runStart, i - runStart).toUtf8();
            bytes += static_cast<char>(text.at(i).unicode() - kKeptByteBase);
            runStart = i + 1;
        }
    }
    bytes += QStringView(text).sliced(runStart).toUtf8();
    return bytes;
}

bool HoldsKeptBytes(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsKeptByte(text, i)) {
            return true;
        }
    }
    return false;
}

QString PathForPeople(const QString& text) {
    QString shown = text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsKeptByte(text, i)) {
            shown[i] = QChar::ReplacementCharacter;
        }
    }
    return shown;
}

QByteArray AbsolutePath(const QByteArray& path) {
    QByteArray full = path;
    if (!path.startsWith('/')) {
        QByteArray cwd(4096, '\0');
        while (::getcwd(cwd.data(), static_cast<size_t>(cwd.size())) == nullptr) {
            if (errno != ERANGE || cwd.size() > (1 << 20)) {
                return path;
            }
            cwd.resize(cwd.size() * 2);
        }
        full = QByteArray(cwd.constData()) + '/' + path;
    }
    QByteArray clean;
    clean.reserve(full.size());
    const QList<QByteArray> parts = full.split('/');
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part == ".") {
            continue;
        }
        clean += '/';
        clean += part;
    }
    return clean.isEmpty() ? QByteArray("/") : clean;
}

// SPDX-License-Identifier: MIT
#include "settings/scramble.h"

#include "util/vb_error.h"

#include <QCoreApplication>

namespace {

// Yielding keeps the window alive on long texts, but a trip through the event loop
// per byte costs far more than the arithmetic; every 64 bytes is just as responsive.
constexpr qsizetype kBytesPerYield = 64;

void YieldEvery(qsizetype i) {
    if (i % kBytesPerYield == 0 && QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents();
    }
}

void CheckKey(const QByteArray& key) {
    if (key.isEmpty()) {
        Raise(vberr::kInvalidCall);
    }
}

int KeyByte(const QByteArray& key, qsizetype i) {
    return static_cast<uchar>(key.at(i % key.size()));
}

}  // namespace

QString ScrambleBytes(const QByteArray& bytes, const QByteArray& key) {
    CheckKey(key);
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        YieldEvery(i);
        int v = static_cast<uchar>(bytes.at(i)) + KeyByte(key, i);
        if (v > 255) {
            v -= 255;
        }
        out.append(QChar(static_cast<char16_t>(v)));
    }
    return out;
}

QByteArray UnscrambleBytes(const QString& text, const QByteArray& key) {
    CheckKey(key);
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        YieldEvery(i);
        const int c = text.at(i).unicode();
        if (c > 255) {
            Raise(vberr::kInvalidCall);
        }
        int v = c - KeyByte(key, i);
        if (v <= 0) {
            v += 255;
        }
        bytes.append(static_cast<char>(v));
    }
    return bytes;
}

QString ScrambleText(const QString& text, const QString& key) {
    return ScrambleBytes(text.toUtf8(), key.toUtf8());
}

QString UnscrambleText(const QString& text, const QString& key) {
    return QString::fromUtf8(UnscrambleBytes(text, key.toUtf8()));
}

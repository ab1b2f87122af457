// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Reversible scrambling of a text with a key, used to keep the sample list in the
// settings store. Works on the UTF-8 bytes of the text, so any path survives: each
// byte becomes the character with code 1..255 that the key shifts it to, a form the
// ini-file store keeps exactly.

// ScrambleBytes over the UTF-8 bytes of text and key.
QString ScrambleText(const QString& text, const QString& key);
// UnscrambleBytes, decoded as UTF-8.
QString UnscrambleText(const QString& text, const QString& key);

// Each byte c with key byte k (the key used cyclically) becomes the character c + k,
// minus 255 above 255. Throws VbError 5 for an empty key.
QString ScrambleBytes(const QByteArray& bytes, const QByteArray& key);
// The reverse walk: c - k, plus 255 at or below 0, so a byte 0 comes back as 255.
// Throws VbError 5 for an empty key or a character above U+00FF, which no scrambled
// text holds.
QByteArray UnscrambleBytes(const QString& text, const QByteArray& key);

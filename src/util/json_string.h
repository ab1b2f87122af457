// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// A JSON string of bytes that are UTF-8 where they can be: each byte that is not part
// of valid UTF-8 becomes the escaped lone surrogate U+DC00 + byte, as Python's
// os.fsdecode does, so os.fsencode(json.loads(line)["source"]) gives the file's bytes
// back exactly. Tools that want plain Unicode see U+FFFD-like stand-ins instead.
QByteArray JsonString(const QByteArray& bytes);
QByteArray JsonString(const QString& text);

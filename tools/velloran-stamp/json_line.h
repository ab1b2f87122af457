// SPDX-License-Identifier: MIT
#pragma once

#include "engine/run_planned_sources.h"

#include <QByteArray>
#include <QString>


// "ok", "error" or "skipped".
QString StatusWord(SourceStatus status);

// A JSON string of bytes that are UTF-8 where they can be: each byte that is not part
// of valid UTF-8 becomes the escaped lone surrogate U+DC00 + byte, as Python's
// os.fsdecode does, so os.fsencode(json.loads(line)["source"]) gives the file's bytes
// back exactly. Tools that want plain Unicode see U+FFFD-like stand-ins instead.
QByteArray JsonString(const QByteArray& bytes);
QByteArray JsonString(const QString& text);

// One object on one line, ending in "\n".
QByteArray JsonLine(const SourceReport& report);

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

enum class SourceStatus { Ok, Error, Skipped };

// "ok", "error" or "skipped".
QString StatusWord(SourceStatus status);

// What the program reports of each source: a line on standard error for a failure, the
// JSON line with --json, the summary's counts.
struct SourceReport {
    QByteArray source;  // a path in its own bytes
    QByteArray output;
    SourceStatus status = SourceStatus::Ok;
    std::optional<QString> error;  // the engine's own text, never read back from a box
    int code = 0;                  // the error number of the first failure, 0 for none
    QString text;                  // the stamp text for this source
    qint64 ms = 0;
    bool dryRun = false;
};

// A JSON string of bytes that are UTF-8 where they can be: each byte that is not part
// of valid UTF-8 becomes the escaped lone surrogate U+DC00 + byte, as Python's
// os.fsdecode does, so os.fsencode(json.loads(line)["source"]) gives the file's bytes
// back exactly. Tools that want plain Unicode see U+FFFD-like stand-ins instead.
QByteArray JsonString(const QByteArray& bytes);
QByteArray JsonString(const QString& text);

// One object on one line, ending in "\n".
QByteArray JsonLine(const SourceReport& report);

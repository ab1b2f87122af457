// SPDX-License-Identifier: MIT
#include "json_line.h"

#include "util/json_string.h"

QString StatusWord(SourceStatus status) {
    switch (status) {
        case SourceStatus::Ok:
            return QStringLiteral("ok");
        case SourceStatus::Error:
            return QStringLiteral("error");
        case SourceStatus::Skipped:
            break;
    }
    return QStringLiteral("skipped");
}

QByteArray JsonLine(const SourceReport& report) {
    QByteArray line = "{\"source\":" + JsonString(report.source);
    line += ",\"output\":" + JsonString(report.output);
    line += ",\"status\":" + JsonString(StatusWord(report.status));
    line += ",\"error\":" + (report.error ? JsonString(*report.error) : QByteArray("null"));
    if (report.code != 0) {
        line += ",\"code\":" + QByteArray::number(report.code);
    }
    line += ",\"text\":" + JsonString(report.text);
    line += ",\"ms\":" + QByteArray::number(report.ms);
    if (report.dryRun) {
        line += ",\"dry_run\":true";
    }
    line += "}\n";
    return line;
}

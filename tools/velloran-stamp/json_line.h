// SPDX-License-Identifier: MIT
#pragma once

#include "engine/run_planned_sources.h"
#include "util/json_string.h"

#include <QByteArray>
#include <QString>


// "ok", "error" or "skipped".
QString StatusWord(SourceStatus status);

// One object on one line, ending in "\n".
QByteArray JsonLine(const SourceReport& report);

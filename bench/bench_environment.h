// SPDX-License-Identifier: MIT
#pragma once

#include "util/environment.h"

#include <QDateTime>
#include <QDir>

// An environment for a benchmark run: every folder and the settings file inside one
// scratch folder, the real clock, and nothing that opens a web site or ends the program.
inline Environment BenchEnvironment(const QString& base, const QString& temp) {
    QDir().mkpath(temp);
    Environment env;
    env.now = [] { return QDateTime::currentDateTime(); };
    env.random = [] { return 0.5; };
    env.programFolder = base;
    env.tempFolder = [temp] { return temp; };
    env.desktopFolder = [base] { return base; };
    env.settingsFile = base + QStringLiteral("/config/Tellwick.ini");
    env.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    env.endProgram = [] {};
    return env;
}

// SPDX-License-Identifier: MIT
#include "util/environment.h"

#include "util/temp_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace {

QString SystemDesktopFolder() {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    // Many Linux installations have no Desktop folder; the home folder is where
    // such users expect their files to land.
    if (!desktop.isEmpty() && !QDir(desktop).exists()) {
        desktop = QDir::homePath();
    }
    return desktop;
}

}  // namespace

Environment Environment::System() {
    Environment env;
    env.now = [] { return QDateTime::currentDateTime(); };
    env.random = [] { return QRandomGenerator::global()->generateDouble(); };
    env.programFolder = QCoreApplication::applicationDirPath();
    env.tempFolder = [] { return PrivateTempFolder(); };
    env.desktopFolder = SystemDesktopFolder;
    env.settingsFile = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                       QStringLiteral("/Tellwick/Tellwick.ini");
    env.locale = QLocale::system();
    env.endProgram = [] {
        // Every setting is already on disk and results are written atomically, so
        // nothing is lost by leaving without unwinding a run in progress.
        std::fflush(nullptr);
        std::_Exit(0);
    };
    return env;
}

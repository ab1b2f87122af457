// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <functional>

// The parts of the outside world a handler reads: clock, chance, folders, locale.
// The program uses System(); tests build one over temporary folders and a fixed time.
struct Environment {
    std::function<QDateTime()> now;
    // A number in [0, 1).
    std::function<double()> random;
    // The folder of the running program, without a trailing separator.
    QString programFolder;
    // The private temporary folder (created on first use); throws VbError when unusable.
    std::function<QString()> tempFolder;
    // The desktop folder without a trailing separator, "" when there is none.
    std::function<QString()> desktopFolder;
    // The settings file of the per-user store.
    QString settingsFile;
    QLocale locale;
    // Ends the program at once (closing the main window).
    std::function<void()> endProgram;

    static Environment System();
};

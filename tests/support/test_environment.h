// SPDX-License-Identifier: MIT
#pragma once

#include "util/environment.h"

#include <QColor>
#include <QTemporaryDir>

#include <memory>

// An environment for one test: program, temporary, desktop and settings folders inside
// one temporary directory, a fixed clock, a fixed random draw and the en_US locale.
class TestEnvironment {
public:
    TestEnvironment();

    Environment env;
    QString root() const { return dir_->path(); }
    QString programFolder() const { return env.programFolder; }
    QString tempFolder() const { return root() + QStringLiteral("/temp"); }
    QString desktopFolder() const { return root() + QStringLiteral("/Desktop"); }
    int endProgramCalls = 0;

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

// Writes an image file of the given size and format; returns its path.
QString WriteTestImage(const QString& path, int width, int height, const char* format = nullptr,
                       QColor color = QColor(40, 90, 160));
// Writes the bytes to a file; returns its path.
QString WriteFile(const QString& path, const QByteArray& bytes = "x");
// The bytes of a file; empty when it cannot be read.
QByteArray ReadFile(const QString& path);

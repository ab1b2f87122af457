// SPDX-License-Identifier: MIT
#include "support/test_environment.h"

#include <QDir>
#include <QFile>
#include <QImage>

TestEnvironment::TestEnvironment() : dir_(std::make_unique<QTemporaryDir>()) {
    const QString base = dir_->path();
    QDir(base).mkpath(QStringLiteral("program"));
    QDir(base).mkpath(QStringLiteral("temp"));
    QDir(base).mkpath(QStringLiteral("Desktop"));
    env.now = [] { return QDateTime(QDate(2026, 12, 6), QTime(15, 4, 5)); };
    env.random = [] { return 0.5; };
    env.programFolder = base + QStringLiteral("/program");
    const QString temp = base + QStringLiteral("/temp");
    env.tempFolder = [temp] { return temp; };
    const QString desktop = base + QStringLiteral("/Desktop");
    env.desktopFolder = [desktop] { return desktop; };
    env.settingsFile = base + QStringLiteral("/config/Tellwick/Tellwick.ini");
    env.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    env.endProgram = [this] { ++endProgramCalls; };
}

QString WriteTestImage(const QString& path, int width, int height, const char* format,
                       QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    image.save(path, format);
    return path;
}

QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return path;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

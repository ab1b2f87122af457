// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

// The readers under test take a path, as the program hands them one: each input is written
// to one file in a private folder of this process, replaced for every run.
class FuzzInputFile {
public:
    explicit FuzzInputFile(const char* name) {
        char folder[] = "/tmp/velloran-fuzz-XXXXXX";
        if (::mkdtemp(folder) != nullptr) {
            folder_ = QString::fromLocal8Bit(folder);
            path_ = folder_ + QLatin1Char('/') + QLatin1String(name);
        }
    }
    ~FuzzInputFile() {
        if (!folder_.isEmpty()) {
            QDir(folder_).removeRecursively();
        }
    }
    FuzzInputFile(const FuzzInputFile&) = delete;
    FuzzInputFile& operator=(const FuzzInputFile&) = delete;

    // The path now holding exactly `size` bytes from `data`; empty when it cannot be written.
    QString Write(const uint8_t* data, size_t size) {
        QFile file(path_);
        if (path_.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
            return QString();
        }
        return path_;
    }

private:
    QString folder_;
    QString path_;
};

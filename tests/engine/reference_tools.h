// SPDX-License-Identifier: MIT
#pragma once

#include <QColorSpace>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

// The command-line tools of the formats' own libraries, which make the sources and read
// the copies back independently of the code under test.

inline bool HaveTools(const QStringList& tools) {
    for (const QString& tool : tools) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            return false;
        }
    }
    return true;
}

// Runs a tool to its end; true when it exited with 0.
inline bool RunTool(const QString& program, const QStringList& arguments,
                    QByteArray* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output != nullptr) {
        *output = process.readAllStandardOutput();
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The picture of a HEIF/AVIF, WebP or JPEG XL file as the format's reference decoder
// gives it (through a PNG beside the file), in sRGB: decoders may hand the same colours
// over in another colour space. Null when it cannot be decoded.
inline QImage ReferenceDecode(const QString& path) {
    const QString png = path + ".reference.png";
    bool decoded = false;
    if (path.endsWith(".webp")) {
        decoded = RunTool("dwebp", {"-quiet", path, "-o", png});
    } else if (path.endsWith(".jxl")) {
        decoded = RunTool("djxl", {path, png});
    } else {
        decoded = RunTool("heif-convert", {"--quiet", path, png});
    }
    if (!decoded) {
        return {};
    }
    QImage image = QImage(png).convertToFormat(QImage::Format_RGB32);
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb)) {
        image.convertToColorSpace(QColorSpace::SRgb);
    }
    return image;
}

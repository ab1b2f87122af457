// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_source.h"

#include <QDir>
#include <QTemporaryDir>

// The engine's run of one source without a window: sources and copies in folders of their
// own, a private temporary folder, the window's default stamp of "STAMP" in the upper left.
struct EngineFixture {
    QTemporaryDir dir;
    QString sources = dir.path() + "/sources";
    QString output = dir.path() + "/out";
    QString temp = dir.path() + "/temp";
    StampSettings settings;

    EngineFixture() {
        QDir().mkpath(sources);
        QDir().mkpath(output);
        QDir().mkpath(temp);
        settings.text = QStringLiteral("STAMP");
        settings.position = QStringLiteral("Upper-left");
        settings.fontFamily = QStringLiteral("DejaVu Sans");
        settings.fontSize = 12;
        settings.color = 0xFFFFFF;
        settings.outputFolder = output;
    }

    // The failures' texts; empty when the copy was written.
    QStringList stamp(const QString& source) {
        SourceStamper stamper(temp);
        QStringList errors;
        for (const SourceStamper::Failure& failure : stamper.Stamp(source, settings)) {
            errors << failure.BoxText(QStringLiteral("Form1.PushButton2_Click"));
        }
        return errors;
    }
};

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// Which files a folder scan takes, from --ext: one extension ("jpg"), a list
// ("jpg,jpeg,png,heic"), "pictures" (every kind the program stamps) or "*" (every file).
class SourceExtensions {
public:
    // Throws UsageError for an empty or impossible extension.
    explicit SourceExtensions(const QString& option);

    // True when a file of this name is taken.
    bool Takes(const QString& fileName) const;
    // True when every file is taken.
    bool everyFile() const { return extensions_.isEmpty(); }

    // The extensions "pictures" stands for, in lower case.
    static QStringList Pictures();

private:
    QStringList extensions_;  // lower case; empty for every file
};

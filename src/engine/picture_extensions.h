// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Which files a folder scan takes: one extension ("jpg"), a list ("jpg,jpeg,png,heic"),
// "pictures" (every kind the road stamps) or "*" (every file).
class PictureExtensions {
public:
    // None for an empty or impossible extension ("a/b", "j*g").
    static std::optional<PictureExtensions> Parse(const QString& text);

    // True when a file of this name is taken.
    bool Takes(const QString& fileName) const;
    // True when every file is taken.
    bool everyFile() const { return extensions_.isEmpty(); }

    // The extensions "pictures" stands for, in lower case.
    static QStringList Pictures();

private:
    QStringList extensions_;  // lower case; empty for every file
};

// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

// The seven kinds of stamp text, in list order (index = mode number).
inline QStringList StampModeTexts() {
    return {QStringLiteral("Stamp your text on all images"),
            QStringLiteral("Stamp time on all images"),
            QStringLiteral("Stamp date on all images"),
            QStringLiteral("Stamp time and date on all images"),
            QStringLiteral("Stamp filename on all images"),
            QStringLiteral("Stamp filename on all images without extension"),
            QStringLiteral("Stamp full path on all images")};
}

// The nine stamp positions, in list order; compared exactly.
inline QStringList StampPositionTexts() {
    return {QStringLiteral("Upper-left"),   QStringLiteral("Upper-right"),
            QStringLiteral("Lower-left"),   QStringLiteral("Lower-right"),
            QStringLiteral("Center-top"),   QStringLiteral("Center-left"),
            QStringLiteral("Center-right"), QStringLiteral("Center-bottom"),
            QStringLiteral("Center")};
}

inline constexpr char kPlaceholderText[] = "Your text goes here";

// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QString>

// A plain English word or two for a colour ("white", "dark blue", "brown"), so that a
// screen reader can say which colour the swatch shows; the hex code alone means
// nothing to most people who cannot see it.
QString ColorName(const QColor& color);

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Text-to-number conversions of stored values. A fraction is rounded to the nearest
// whole number, halves to the even neighbour (10.5 -> 10, 11.5 -> 12). Text that is no
// number throws VbError 13; a number outside the target range throws VbError 6.
double ToDouble(const QString& text);
qint16 ToInt16(const QString& text);
qint32 ToInt32(const QString& text);

// Rounds halves to the even neighbour.
double RoundHalfEven(double value);

// "True" or "False".
QString FlagText(bool value);
// True only for exactly "True".
bool IsTrueText(const QString& text);

// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Texts the stamp modes put into the stamp-text box.

// The time of day in the locale's long time format, without a time-zone part.
QString TimeText(const QDateTime& now, const QLocale& locale);
// The date in the locale's short date format, with a four-digit year.
QString DateText(const QDateTime& now, const QLocale& locale);
// Short date, one blank, long time; at exactly midnight the date alone.
QString DateTimeText(const QDateTime& now, const QLocale& locale);

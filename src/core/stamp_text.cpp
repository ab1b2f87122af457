// SPDX-License-Identifier: MIT
#include "core/stamp_text.h"

#include <QRegularExpression>

namespace {

QString ShortDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    // Widen a two-digit year to four digits ("M/d/yy" -> "M/d/yyyy").
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    format.replace(twoDigitYear, QStringLiteral("yyyy"));
    return format;
}

QString LongTimeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    // Qt's long format carries the time zone ("t"); the stamp shows the time alone.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}

}  // namespace

QString TimeText(const QDateTime& now, const QLocale& locale) {
    return locale.toString(now.time(), LongTimeFormat(locale));
}

QString DateText(const QDateTime& now, const QLocale& locale) {
    return locale.toString(now.date(), ShortDateFormat(locale));
}

QString DateTimeText(const QDateTime& now, const QLocale& locale) {
    const QTime t = now.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) {
        return DateText(now, locale);
    }
    return DateText(now, locale) + QLatin1Char(' ') + TimeText(now, locale);
}

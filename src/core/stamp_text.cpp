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

// One piece of a date-time format: a quoted literal, a run of one field letter, or a
// single other character.
struct FormatToken {
    enum Kind { Quoted, Field, Other } kind;
    QString text;
};

QList<FormatToken> Tokenize(const QString& format) {
    QList<FormatToken> tokens;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        qsizetype end = i + 1;
        FormatToken::Kind kind = FormatToken::Other;
        if (c == QLatin1Char('\'')) {
            // Up to the closing quote; a doubled quote inside stands for one quote.
            kind = FormatToken::Quoted;
            while (end < format.size()) {
                if (format.at(end) == QLatin1Char('\'')) {
                    if (end + 1 < format.size() && format.at(end + 1) == QLatin1Char('\'')) {
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                ++end;
            }
        } else if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                   (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))) {
            kind = FormatToken::Field;
            while (end < format.size() && format.at(end) == c) {
                ++end;
            }
        }
        tokens.append({kind, format.mid(i, end - i)});
        i = end;
    }
    return tokens;
}

bool IsZone(const FormatToken& token) {
    return token.kind == FormatToken::Field && token.text.front() == QLatin1Char('t');
}

// Blanks and commas that part the zone from the fields next to it.
bool IsSeparator(const FormatToken& token) {
    if (token.kind != FormatToken::Other) {
        return false;
    }
    const QChar c = token.text.front();
    return c.isSpace() || c == QLatin1Char(',') || c == QChar(0x060C) || c == QChar(0xFF0C) ||
           c == QChar(0x3001);
}

bool Encloses(const FormatToken& open, const FormatToken& close) {
    static const QString opening = QStringLiteral("([\uFF08\u3010");
    static const QString closing = QStringLiteral(")]\uFF09\u3011");
    if (open.kind != FormatToken::Other || close.kind != FormatToken::Other) {
        return false;
    }
    const qsizetype at = opening.indexOf(open.text.front());
    return at >= 0 && closing.at(at) == close.text.front();
}

// Removes the time-zone field together with the brackets around it and the blanks and
// commas that part it from its neighbours, so "HH:mm:ss (t)" and "h:mm:ss AP, t" leave
// no "( )" and no trailing ",".
QString WithoutZone(const QString& format) {
    QList<FormatToken> tokens = Tokenize(format);
    for (qsizetype zone = 0; zone < tokens.size();) {
        if (!IsZone(tokens.at(zone))) {
            ++zone;
            continue;
        }
        qsizetype first = zone;
        qsizetype last = zone;
        // Brackets around the zone, with any blanks inside them.
        qsizetype open = first - 1;
        qsizetype close = last + 1;
        while (open >= 0 && IsSeparator(tokens.at(open))) {
            --open;
        }
        while (close < tokens.size() && IsSeparator(tokens.at(close))) {
            ++close;
        }
        if (open >= 0 && close < tokens.size() && Encloses(tokens.at(open), tokens.at(close))) {
            first = open;
            last = close;
        }
        // The separators on the side that has other fields: before the zone, or after it
        // when the zone opens the format.
        if (first > 0) {
            while (first > 0 && IsSeparator(tokens.at(first - 1))) {
                --first;
            }
        } else {
            while (last + 1 < tokens.size() && IsSeparator(tokens.at(last + 1))) {
                ++last;
            }
        }
        tokens.remove(first, last - first + 1);
        zone = first;
    }
    QString result;
    for (const FormatToken& token : tokens) {
        result += token.text;
    }
    return result.trimmed();
}

QString LongTimeFormat(const QLocale& locale) {
    // Qt's long format carries the time zone ("t"); the stamp shows the time alone.
    return WithoutZone(locale.timeFormat(QLocale::LongFormat));
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

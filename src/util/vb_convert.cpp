// SPDX-License-Identifier: MIT
#include "util/vb_convert.h"

#include "util/vb_error.h"

#include <QLocale>

#include <cmath>
#include <limits>

double RoundHalfEven(double value) {
    return std::nearbyint(value);
}

double ToDouble(const QString& text) {
    const QString trimmed = text.trimmed();
    // A group separator would turn a German "10,5" into 105.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double value = c.toDouble(trimmed, &ok);
    if (!ok) {
        // Fractional font sizes are written with the user's decimal separator.
        QLocale system = QLocale::system();
        system.setNumberOptions(QLocale::RejectGroupSeparator);
        value = system.toDouble(trimmed, &ok);
    }
    if (!ok || !std::isfinite(value)) {
        Raise(vberr::kTypeMismatch);
    }
    return value;
}

namespace {

template <class Int>
Int ToInteger(const QString& text) {
    const double rounded = RoundHalfEven(ToDouble(text));
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
        Raise(vberr::kOverflow);
    }
    return static_cast<Int>(rounded);
}

}  // namespace

qint16 ToInt16(const QString& text) {
    return ToInteger<qint16>(text);
}
qint32 ToInt32(const QString& text) {
    return ToInteger<qint32>(text);
}

QString FlagText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool IsTrueText(const QString& text) {
    return text == QLatin1String("True");
}

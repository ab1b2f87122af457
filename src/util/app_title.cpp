// SPDX-License-Identifier: MIT
#include "util/app_title.h"

#include <QGuiApplication>

QString ApplicationTitleFor(const QString& productName) {
    QString title = productName;
    if (!title.contains(QLatin1Char(' '))) {
        return title;
    }
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0) {
            break;
        }
        title = title.left(blank);
    } while (title.size() > 40);
    return title;
}

void SetApplicationTitle() {
    QGuiApplication::setApplicationDisplayName(
        ApplicationTitleFor(QString::fromLatin1(kProductName)));
}

QString ApplicationTitle() {
    const QString title = QGuiApplication::applicationDisplayName();
    return title.isEmpty() ? QString::fromLatin1(kProductName) : title;
}

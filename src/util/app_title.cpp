// SPDX-License-Identifier: MIT
#include "util/app_title.h"

namespace {

// Kept by the program rather than as Qt's application display name: with a display
// name set, Qt on X11 appends " — <name>" to the title of every other window, and the
// error box must read exactly "Application Error".
QString& StoredTitle() {
    static QString title;
    return title;
}

}  // namespace

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
    StoredTitle() = ApplicationTitleFor(QString::fromLatin1(kProductName));
}

QString ApplicationTitle() {
    const QString& title = StoredTitle();
    return title.isEmpty() ? QString::fromLatin1(kProductName) : title;
}

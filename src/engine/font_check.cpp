// SPDX-License-Identifier: MIT
#include "engine/font_check.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace {

// The database names a family held by several foundries "Family [Foundry]".
QString WithoutFoundry(const QString& name) {
    const qsizetype bracket = name.indexOf(QLatin1String(" ["));
    return bracket > 0 && name.endsWith(QLatin1Char(']')) ? name.left(bracket) : name;
}

}  // namespace

FontCheck CheckFont(const QString& family, bool bold, bool italic) {
    FontCheck check;
    check.family = family;
    const QString wanted = family.trimmed();
    // Built as the canvas builds the stamp's font, so the answer is the family it draws.
    QFont font;
    font.setFamily(wanted);
    font.setBold(bold);
    font.setItalic(italic);
    check.drawnWith = QFontInfo(font).family();
    if (wanted.isEmpty()) {
        return check;
    }
    const QStringList families = QFontDatabase::families();
    for (const QString& name : families) {
        if (WithoutFoundry(name).compare(wanted, Qt::CaseInsensitive) == 0) {
            check.installed = true;
            break;
        }
    }
    return check;
}

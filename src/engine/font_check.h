// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Whether the stamp's font is installed, and which family the stamp is really drawn with,
// so a program can say "font X is not installed; Y is used instead" rather than draw with
// another font in silence. Needs a QGuiApplication (the font database lives there).
//
//     const FontCheck font = CheckFont(settings.fontFamily, settings.fontBold,
//                                      settings.fontItalic);
//     if (!font.installed) { warn(font.family, font.drawnWith); }
struct FontCheck {
    QString family;          // the family asked for
    bool installed = false;  // the font database holds that family (letter case aside)
    QString drawnWith;       // the family Qt really draws with for it
};

FontCheck CheckFont(const QString& family, bool bold = false, bool italic = false);

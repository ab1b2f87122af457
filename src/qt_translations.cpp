// SPDX-License-Identifier: MIT
#include "qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void LoadQtTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    // Tries each of the desktop's languages in turn, "de_DE" before "de".
    if (translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

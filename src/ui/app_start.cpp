// SPDX-License-Identifier: MIT
#include "ui/app_start.h"

#include "engine/engine_start.h"
#include "qt_translations.h"
#include "ui/form1.h"
#include "ui/qt_dialogs.h"
#include "ui/screen_placement.h"

#include <QApplication>
#include <QIcon>

int RunVelloran(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velloran"));
    QApplication::setOrganizationName(QStringLiteral("Tellwick"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/velloran/velloran.png")));
    QApplication::setDesktopFileName(QStringLiteral("org.velloran.Velloran"));
    LoadQtTranslations(app);
    StartEngine();

    QtDialogs dialogs;
    Form1 form(dialogs, Environment::System());
    dialogs.setOwner(&form);
    form.Form_Load();
    PlaceOnScreen(form);
    form.show();
    return QApplication::exec();
}

// SPDX-License-Identifier: MIT
#pragma once

class QCoreApplication;

// Loads Qt's own translation of its dialogs and buttons (qtbase_<language>.qm from Qt's
// translations folder) for the desktop's language. Velloran's own texts are not
// translated; without a matching file everything stays in English.
void LoadQtTranslations(QCoreApplication& app);

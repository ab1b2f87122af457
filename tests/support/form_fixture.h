// SPDX-License-Identifier: MIT
#pragma once

#include "ui/file_list_view.h"
#include "support/fake_dialogs.h"
#include "support/test_environment.h"
#include "ui/color_swatch.h"
#include "ui/form1.h"
#include "ui/stamp_text_box.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

// The values under the program's section of a settings file, as text.
using Settings = QMap<QString, QString>;
Settings StoredSettings(const QString& iniFile);
void StoreSettings(const QString& iniFile, const Settings& values);

// Picks an entry of a combo box the way a user's click does.
void Choose(QComboBox* combo, int index);

// When a fixture loads its window: at once, or later by the test, which first changes the
// window's environment or the program folder.
enum class Load { Now, Later };

// The main window over a fresh test environment with scripted dialogs; the settings are
// stored before the load.
struct FormFixture {
    explicit FormFixture(const Settings& stored = {}, Load load = Load::Now);
    Settings stored() const { return StoredSettings(t.env.settingsFile); }

    TestEnvironment t;
    FakeDialogs dialogs;
    Form1 form{dialogs, t.env};
};

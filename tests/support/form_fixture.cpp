// SPDX-License-Identifier: MIT
#include "support/form_fixture.h"

#include "engine/engine_start.h"

#include <QSettings>

Settings StoredSettings(const QString& iniFile) {
    QSettings raw(iniFile, QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Velloran"));
    Settings values;
    for (const QString& key : raw.childKeys()) {
        values.insert(key, raw.value(key).toString());
    }
    return values;
}

void StoreSettings(const QString& iniFile, const Settings& values) {
    QSettings raw(iniFile, QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Velloran"));
    for (auto it = values.begin(); it != values.end(); ++it) {
        raw.setValue(it.key(), it.value());
    }
}

void Choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

FormFixture::FormFixture(const Settings& stored, Load load) {
    // What the window's start-up does before its first picture.
    StartEngine();
    StoreSettings(t.env.settingsFile, stored);
    if (load == Load::Now) {
        form.Form_Load();
    }
}

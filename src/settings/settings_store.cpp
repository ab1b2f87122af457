// SPDX-License-Identifier: MIT
#include "settings/settings_store.h"

#include "util/vb_error.h"

#include <QSettings>
#include <QStringList>

namespace {
const QString kSection = QStringLiteral("Velloran");
}

SettingsStore::SettingsStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::fileName() const {
    return settings_->fileName();
}

QString SettingsStore::ExistingSpelling(const QString& key) const {
    settings_->beginGroup(kSection);
    const QStringList keys = settings_->childKeys();
    settings_->endGroup();
    for (const QString& existing : keys) {
        if (existing.compare(key, Qt::CaseInsensitive) == 0) {
            return existing;
        }
    }
    return QString();
}

QString SettingsStore::GetSetting(const QString& key, const QString& defaultValue) const {
    const QString existing = ExistingSpelling(key);
    if (existing.isEmpty()) {
        return defaultValue;
    }
    const QVariant value = settings_->value(kSection + QLatin1Char('/') + existing);
    // A hand-edited value with unquoted commas reads back as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", "));
    }
    return value.toString();
}

void SettingsStore::SaveSetting(const QString& key, const QString& value) {
    QString spelling = ExistingSpelling(key);
    if (spelling.isEmpty()) {
        spelling = key;
    }
    settings_->setValue(kSection + QLatin1Char('/') + spelling, value);
    settings_->sync();
    if (settings_->status() != QSettings::NoError) {
        Raise(vberr::kPathFileAccess,
              QStringLiteral("Cannot write the settings file %1").arg(settings_->fileName()));
    }
}

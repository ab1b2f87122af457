// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <memory>

class QSettings;

// The per-user store of text values under application "Tellwick", section "Velloran".
// Key names compare without regard to letter case: a write finds an existing key
// whatever its case and overwrites it under its existing spelling. Every write is
// flushed to disk at once, because the program saves nothing at exit.
class SettingsStore {
public:
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The stored text, or defaultValue when the key is absent. An existing empty
    // value gives "".
    QString GetSetting(const QString& key, const QString& defaultValue = QString()) const;
    void SaveSetting(const QString& key, const QString& value);

    QString fileName() const;

private:
    QString ExistingSpelling(const QString& key) const;

    std::unique_ptr<QSettings> settings_;
};

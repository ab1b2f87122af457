// SPDX-License-Identifier: MIT
#pragma once

#include "util/vb_error.h"

#include <QString>

#include <utility>
#include <variant>

struct Environment;
class SettingsStore;

// One stored setting as read: its value, or the failure the window's restore step raises
// for the stored text (the same number and description), and the stored text itself.
template <class T>
class StoredValue {
public:
    StoredValue(T value, QString storedText)
        : value_(std::move(value)), storedText_(std::move(storedText)) {}
    StoredValue(VbError failure, QString storedText)
        : value_(std::move(failure)), storedText_(std::move(storedText)) {}

    // The value; throws the failure, so a restore step reports exactly what it reported
    // when it converted the text itself.
    const T& Take() const {
        if (const VbError* failure = std::get_if<VbError>(&value_)) {
            throw *failure;
        }
        return std::get<T>(value_);
    }
    // The value, or `fallback` (what the window's control keeps) after a failure.
    T Or(T fallback) const { return failed() ? std::move(fallback) : std::get<T>(value_); }
    bool failed() const { return std::holds_alternative<VbError>(value_); }
    // The text the store holds (the default when the key is absent).
    const QString& storedText() const { return storedText_; }

private:
    std::variant<T, VbError> value_;
    QString storedText_;
};

// Every stamp setting the window restores at start-up, read once by the declaration's
// keys, defaults, conversions and ranges, for the window and the companion alike.
struct StoredStampSettings {
    StoredValue<QString> position;  // one of StampPositionTexts(); else VbError 383
    StoredValue<quint32> color;     // 0x00BBGGRR; VbError 13 or 380
    StoredValue<QString> fontFamily;
    StoredValue<bool> fontBold;
    StoredValue<bool> fontItalic;
    StoredValue<qint16> fontSize;  // points; VbError 13, 6 or 380
    StoredValue<bool> fontStrikeout;
    StoredValue<bool> fontUnderline;
    StoredValue<QString> mode;  // one of StampModeTexts(); else VbError 383
    StoredValue<qint32> quality;  // a position of the quality slider; VbError 13, 6 or 380
    // The stored folder, the desktop folder by default; VbError 5 when there is no
    // desktop folder, whatever is stored.
    StoredValue<QString> outputFolder;
};

// The stamp settings as the store holds them.
StoredStampSettings ReadStoredStampSettings(const SettingsStore& store, const Environment& env);
// The stamp settings of a first start: every key at its declared default.
StoredStampSettings DefaultStampSettings(const Environment& env);

// SPDX-License-Identifier: MIT
#include "engine/stored_stamp_settings.h"

#include "engine/stamp_setting_table.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "util/paths.h"
#include "util/vb_convert.h"

#include <functional>

namespace {

// The stored text of a key, or its default when the key is absent.
using Lookup = std::function<QString(const StampStoredKey& key, const QString& defaultText)>;

class Reader {
public:
    Reader(Lookup lookup, const Environment& env) : lookup_(std::move(lookup)), env_(env) {}

    StoredValue<QString> Text(const char* name) const {
        const StampStoredKey& key = StampKey(name);
        QString text = Stored(key, QString::fromUtf8(key.defaultText));
        return {text, text};
    }

    StoredValue<bool> Flag(const char* name) const {
        const StampStoredKey& key = StampKey(name);
        const QString text = Stored(key, QString::fromUtf8(key.defaultText));
        return {IsTrueText(text), text};
    }

    // Compared exactly, as the window's list finds its text.
    StoredValue<QString> Choice(const char* name, const QStringList& texts) const {
        const QString text = Stored(StampKey(name), texts.first());
        if (!texts.contains(text)) {
            return {VbError(vberr::kPropertyReadOnly, VbErrorDescription(vberr::kPropertyReadOnly)),
                    text};
        }
        return {text, text};
    }

    template <class Number>
    StoredValue<Number> Whole(const char* name) const {
        const StampStoredKey& key = StampKey(name);
        const QString text = Stored(key, QString::fromUtf8(key.defaultText));
        try {
            double value = 0;
            switch (key.type) {
                case StampValueType::Points:
                    value = ToInt16(text);
                    break;
                case StampValueType::Whole:
                    value = ToInt32(text);
                    break;
                default:
                    // A colour is a number of any size until its range refuses it.
                    value = RoundHalfEven(ToDouble(text));
                    break;
            }
            if (!key.range.Holds(value)) {
                Raise(vberr::kInvalidPropertyValue);
            }
            return {static_cast<Number>(value), text};
        } catch (const VbError& e) {
            return {e, text};
        }
    }

    // The desktop is asked first: without one, the step fails whatever is stored.
    StoredValue<QString> Folder(const char* name) const {
        QString desktop;
        try {
            desktop = GetDesktopFolder(env_);
        } catch (const VbError& e) {
            return {e, QString()};
        }
        const QString text = Stored(StampKey(name), desktop);
        return {text, text};
    }

private:
    QString Stored(const StampStoredKey& key, const QString& defaultText) const {
        return lookup_(key, defaultText);
    }

    Lookup lookup_;
    const Environment& env_;
};

StoredStampSettings Read(const Reader& r) {
    return StoredStampSettings{
        r.Choice(key::kPosition, StampSetting(StampSettingId::Position).texts()),
        r.Whole<quint32>(key::kFontColor),
        r.Text(key::kFontName),
        r.Flag(key::kFontBold),
        r.Flag(key::kFontItalic),
        r.Whole<qint16>(key::kFontSize),
        r.Flag(key::kFontStrikeThruRead),
        r.Flag(key::kFontUnderLineRead),
        r.Choice(key::kCombo1, StampSetting(StampSettingId::Mode).texts()),
        r.Whole<qint32>(key::kSlider1),
        r.Folder(key::kOutputFolder),
    };
}

}  // namespace

StoredStampSettings ReadStoredStampSettings(const SettingsStore& store, const Environment& env) {
    return Read(Reader(
        [&store](const StampStoredKey& key, const QString& defaultText) {
            return store.GetSetting(QString::fromLatin1(key.key), defaultText);
        },
        env));
}

StoredStampSettings DefaultStampSettings(const Environment& env) {
    return Read(Reader([](const StampStoredKey&, const QString& defaultText) { return defaultText; },
                       env));
}

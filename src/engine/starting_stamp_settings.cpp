// SPDX-License-Identifier: MIT
#include "engine/starting_stamp_settings.h"

#include "core/stamp_modes.h"
#include "core/stamp_text.h"
#include "engine/stored_stamp_settings.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "util/environment.h"

#include <algorithm>

namespace {

constexpr quint32 kWhite = 0xFFFFFF;
// The quality slider's value in the window's design, kept when the stored one fails.
constexpr int kSliderDesignQuality = 85;

QString Quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

}  // namespace

QString ModeStartText(int mode, const Environment& env) {
    switch (mode) {
        case 1:
            return TimeText(env.now(), env.locale);
        case 2:
            return DateText(env.now(), env.locale);
        case 3:
            return DateTimeText(env.now(), env.locale);
        case 4:
        case 5:
        case 6:
            return QStringLiteral("Filename");
        default:
            return QString::fromLatin1(kPlaceholderText);
    }
}

StampSettings StartingStampSettings(const StoredStampSettings& stored, const Environment& env,
                                    double designFontSize, SettingsWarnings* warnings) {
    const auto fallBack = [&](const auto& value, const char* key, const QString& effect) {
        if (value.failed() && warnings != nullptr) {
            *warnings << QStringLiteral("stored %1 %2 cannot be used: %3")
                             .arg(Quoted(QString::fromLatin1(key)), Quoted(value.storedText()),
                                  effect);
        }
    };
    StampSettings c;
    fallBack(stored.position, key::kPosition, QStringLiteral("no position, nothing is drawn"));
    c.position = stored.position.Or(QString());
    // The colour swatch starts white; the stamp-text box takes the swatch's colour.
    fallBack(stored.color, key::kFontColor, QStringLiteral("white"));
    c.color = stored.color.Or(kWhite);
    c.fontFamily = stored.fontFamily.Take();
    c.fontBold = stored.fontBold.Take();
    c.fontItalic = stored.fontItalic.Take();
    fallBack(stored.fontSize, key::kFontSize, QStringLiteral("%1 points").arg(designFontSize));
    c.fontSize = stored.fontSize.failed() ? designFontSize : stored.fontSize.Take();
    c.fontStrikeout = stored.fontStrikeout.Take();
    c.fontUnderline = stored.fontUnderline.Take();
    // A mode text the list does not hold leaves the list without a choice: the box
    // keeps "Your text goes here" and no source changes it, as in mode 0.
    fallBack(stored.mode, key::kCombo1, QStringLiteral("your text"));
    c.mode = std::max(0, static_cast<int>(StampModeTexts().indexOf(stored.mode.Or(QString()))));
    c.text = ModeStartText(c.mode, env);
    fallBack(stored.quality, key::kSlider1, QStringLiteral("quality %1").arg(kSliderDesignQuality));
    c.quality = stored.quality.Or(kSliderDesignQuality);
    // Without a desktop folder the window's output-folder box stays empty.
    c.outputFolder = stored.outputFolder.Or(QString());
    return c;
}


StampSettings StoredStartSettings(const SettingsStore& store, const Environment& env,
                                  double designFontSize, SettingsWarnings* warnings) {
    return StartingStampSettings(ReadStoredStampSettings(store, env), env, designFontSize,
                                 warnings);
}

StampSettings BuiltinStartSettings(const Environment& env) {
    const StoredStampSettings defaults = DefaultStampSettings(env);
    return StartingStampSettings(defaults, env, defaults.fontSize.Take(), nullptr);
}

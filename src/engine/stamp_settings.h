// SPDX-License-Identifier: MIT
#pragma once

#include "core/stamp_style.h"

#include <QString>

#include <optional>

class Canvas;

// Everything a stamped copy depends on besides its source, as one value: the window reads
// it from its controls in one place, a program without a window builds it from the stored
// settings and its options. Its fields are the settings of StampSettingTable() (keys,
// ranges, defaults and option words are declared there). Plain data, cheap to copy, safe
// to hand to another thread.
struct StampSettings {
    // The text drawn on the picture. For the file-name modes the caller puts the entry's
    // own text here for each source (see EntryStampText).
    QString text;
    // The stamp mode: the index in StampModeTexts() (0 your text ... 6 full path). With
    // `text` it gives each entry's text (EntryStampText).
    int mode = 0;
    // In mode 0, `text` holds placeholders ({name}, {taken} ...; see StampTemplate) that
    // each source's text is expanded from. The window never sets it.
    bool isTemplate = false;
    // One of StampPositionTexts(), compared exactly; an unknown one draws nothing.
    QString position = QStringLiteral("Lower-right");

    QString fontFamily;
    // Points; fractions are kept.
    double fontSize = 9;
    bool fontBold = false;
    bool fontItalic = false;
    bool fontStrikeout = false;
    bool fontUnderline = false;
    // The text colour as 0x00BBGGRR.
    quint32 color = 0;
    // How the stamp is drawn beyond font and colour: size and margin relative to the
    // picture, outline, shadow, box, alpha, automatic colour. Unset: drawn as the window
    // draws it, byte for byte.
    std::optional<StampStyle> style;

    // The quality of the copies, as the window's slider gives it (0 to 100). Every writer
    // takes ClampQuality of it: 0 writes what 1 writes.
    int quality = 100;
    // The folder the copies are written into, without a trailing separator. Never empty
    // when stamping: a path built from an empty folder would name the root folder.
    QString outputFolder;

    bool operator==(const StampSettings&) const = default;
};

// Sets the canvas's font and text colour from the settings, as a run does once before
// its first entry.
void ApplyStampFont(Canvas& canvas, const StampSettings& settings);

// SPDX-License-Identifier: MIT
#pragma once

#include "engine/run_planned_sources.h"
#include "engine/stamp_settings.h"
#include "engine/stamp_template.h"

#include <QDateTime>
#include <QString>

#include <optional>

struct Environment;
class PhotoFacts;

// The stamp text of each source, as the window puts it into its stamp-text box for the
// settings' mode; a template's facts come from the engine's one reading of the source's
// metadata.
class SourceStampTexts {
public:
    // The settings' template, if any, must be one StampTemplate takes (ApplyStampSettingWords
    // checks it); `now` is the one moment of {date} and {time}: two readings could straddle
    // midnight.
    SourceStampTexts(const StampSettings& settings, const Environment& env, const QDateTime& now);

    // `facts`: what the source's road read; null for a source that is not stamped, whose
    // metadata is then read here if the template asks for it.
    QString For(const ListedSource& source, const PhotoFacts* facts) const;

private:
    const StampSettings& settings_;
    const Environment& env_;
    QString date_;
    QString time_;
    std::optional<StampTemplate> template_;
};

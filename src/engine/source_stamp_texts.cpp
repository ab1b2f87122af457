// SPDX-License-Identifier: MIT
#include "engine/source_stamp_texts.h"

#include "core/stamp_text.h"
#include "engine/entry_stamp_text.h"
#include "engine/photo_facts.h"
#include "util/environment.h"
#include "util/path_bytes.h"

SourceStampTexts::SourceStampTexts(const StampSettings& settings, const Environment& env,
                                   const QDateTime& now)
    : settings_(settings),
      env_(env),
      date_(DateText(now, env.locale)),
      time_(TimeText(now, env.locale)) {
    if (settings.isTemplate) {
        template_.emplace(settings.text);
    }
}

QString SourceStampTexts::For(const ListedSource& source, const PhotoFacts* facts) const {
    // A name that is not UTF-8 is stamped as people see it, not as its kept bytes.
    const QString path = PathForPeople(source.run.path);
    if (!template_ || settings_.mode != 0) {
        return EntryStampText(settings_.mode, path, settings_.text);
    }
    std::optional<PhotoFacts> own;
    auto photo = [&]() -> const PhotoFacts& {
        if (facts == nullptr && !own) {
            own.emplace(ReadSourceMetadata(source.run.path));
        }
        return facts != nullptr ? *facts : *own;
    };
    StampTemplate::Source parts;
    parts.path = path;
    parts.position = source.position;
    parts.date = date_;
    parts.time = time_;
    parts.taken = [&] { return photo().Taken(); };
    parts.exif = [&](const QString& tag) { return photo().Tag(tag); };
    parts.dateTimeText = [this](const QDateTime& when) { return DateTimeText(when, env_.locale); };
    return template_->Expand(parts);
}

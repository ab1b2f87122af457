// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_template.h"

#include <QString>

// The engine's stamp-text template as --template gives it: a refused template is a
// usage error naming the option.
class TextTemplate : public StampTemplate {
public:
    // Throws UsageError for what StampTemplate refuses.
    explicit TextTemplate(const QString& text);
};

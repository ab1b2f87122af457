// SPDX-License-Identifier: MIT
#include "text_template.h"

#include "command_line.h"

namespace {

StampTemplate Checked(const QString& text) {
    try {
        return StampTemplate(text);
    } catch (const StampTemplateError& e) {
        throw UsageError(QStringLiteral("--template \"%1\": %2").arg(text, e.why()));
    }
}

}  // namespace

TextTemplate::TextTemplate(const QString& text) : StampTemplate(Checked(text)) {}

// SPDX-License-Identifier: MIT
#include "engine/collecting_dialogs.h"

#include "util/error_trap.h"

#include <utility>

namespace {

// "<description>\r\nin <where> at line <label>\r\r...": the trap's message layout.
StepFailure FromText(const QString& text) {
    StepFailure failure;
    const qsizetype where = text.lastIndexOf(QStringLiteral("\r\nin "));
    failure.description = where < 0 ? text : text.left(where);
    const QString atLine = QStringLiteral(" at line ");
    const qsizetype line = text.lastIndexOf(atLine);
    if (line >= 0) {
        const qsizetype start = line + atLine.size();
        const qsizetype end = text.indexOf(QLatin1Char('\r'), start);
        failure.label = text.mid(start, end < 0 ? -1 : end - start).toInt();
    }
    return failure;
}

}  // namespace

void CollectingDialogs::Listen(ErrorTrap& trap) {
    // The trap tells its number and text just before it shows the box.
    trap.SetListener([this](int label, int number, const QString& description) {
        expected_ = StepFailure{label, number, description, QString()};
        hasExpected_ = true;
    });
}

Dialogs::Button CollectingDialogs::messageBox(const QString& text, const QString&, Icon,
                                              Buttons) {
    StepFailure failure = hasExpected_ ? std::exchange(expected_, {}) : FromText(text);
    hasExpected_ = false;
    failure.message = text;
    failures_ << failure;
    return Button::Ok;
}

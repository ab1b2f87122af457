// SPDX-License-Identifier: MIT
#include "engine/collecting_dialogs.h"

QString StepFailure::BoxText(const QString& handler) const {
    if (label == 0 && number == 0 && routine.isEmpty()) {
        return description;
    }
    const QString where = routine.isEmpty() ? handler : routine;
    return ErrorTrap::MessageText(
        description, QStringLiteral("in ") + project + QLatin1Char('.') + where + QLatin1Char(' '),
        label);
}

CollectingDialogs::CollectingDialogs()
    : reports_([this](const ErrorTrap& trap, int label, int number, const QString& description) {
          failures_ << StepFailure{trap.where(), trap.project(), label, number, description};
          boxAnnounced_ = true;
      }) {}

Dialogs::Button CollectingDialogs::messageBox(const QString& text, const QString&, Icon, Buttons) {
    // A box no trap announced is a plain notice; its text is all there is to keep.
    if (!boxAnnounced_) {
        failures_ << StepFailure{QString(), QString(), 0, 0, text};
    }
    boxAnnounced_ = false;
    return Button::Ok;
}

// SPDX-License-Identifier: MIT
#pragma once

#include "util/dialogs.h"
#include "util/error_trap.h"

#include <QList>
#include <QString>

// One failed step, as a value: which routine's trap caught it (empty for the steps of the
// caller's own handler, whose name only the caller knows), the statement's label there,
// the error number and the error's own text. A program chooses its own words from it; the
// window's box is BoxText().
struct StepFailure {
    QString routine;      // "<Object>.<Procedure>" of a nested routine's trap; "" for the run's own
    QString project;      // the project tag that routine's box shows
    int label = 0;        // the statement's label in its trap (0 for a plain notice)
    int number = 0;       // the error number (0 for a plain notice)
    QString description;  // the error's own text (a plain notice's whole text)

    // The text of the "Application Error" box the window shows for this failure, when the
    // run's own steps belong to `handler` ("Form1.PushButton2_Click").
    QString BoxText(const QString& handler) const;
};

// Dialogs for a program without a window: nothing waits for a person, every failure is kept
// in order as a value, questions get their neutral answer (OK, cancelled, the value offered).
// While it lives it hears every error trap of its thread (TrapReports), so it must be made
// and used on one thread.
class CollectingDialogs final : public Dialogs {
public:
    CollectingDialogs();
    const QList<StepFailure>& failures() const { return failures_; }

    Button messageBox(const QString& text, const QString& title, Icon icon,
                      Buttons buttons) override;
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&) override { return {}; }
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    Font chooseFont(const Font& initial) override { return initial; }
    quint32 chooseColor(quint32 initial) override { return initial; }
    void openUrl(const QUrl&) override {}

private:
    QList<StepFailure> failures_;
    // The box that the last trap report announced is that report's, not a notice.
    bool boxAnnounced_ = false;
    TrapReports reports_;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "util/dialogs.h"

#include <QList>
#include <QString>

class ErrorTrap;

// One box a step would have shown, as a program without a window keeps it.
struct StepFailure {
    int label = 0;        // the statement's label in its trap
    int number = 0;       // the error number (0 when only the box's text was seen)
    QString description;  // the error's own text
    QString message;      // the box's whole text, as the window shows it
};

// Dialogs for a program without a window: nothing waits for a person, every box is kept in
// order, questions get their neutral answer (OK, cancelled, the value offered). Use one per
// thread. Boxes of a trap passed to Listen() carry its error number; boxes of another trap
// (the overlay's, the folder scan's) are read back from their text.
class CollectingDialogs final : public Dialogs {
public:
    void Listen(ErrorTrap& trap);
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
    StepFailure expected_;
    bool hasExpected_ = false;
};

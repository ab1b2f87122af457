// SPDX-License-Identifier: MIT
#pragma once

#include "util/dialogs.h"

#include <QStringList>

#include <mutex>

// The engine's dialogs for a program without a window: nothing is shown and nothing
// waits; message texts are kept for the caller to print, every question is answered
// "No" and every dialog as cancelled.
class QuietDialogs final : public Dialogs {
public:
    Button messageBox(const QString& text, const QString&, Icon, Buttons buttons) override {
        const std::lock_guard lock(mutex_);
        messages_ << text;
        return buttons == Buttons::YesNo ? Button::No : Button::Ok;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&) override { return {}; }
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    Font chooseFont(const Font& initial) override { return initial; }
    quint32 chooseColor(quint32 initial) override { return initial; }
    void openUrl(const QUrl&) override {}

    // The texts shown since the last call.
    QStringList TakeMessages() {
        const std::lock_guard lock(mutex_);
        return std::exchange(messages_, {});
    }

private:
    std::mutex mutex_;
    QStringList messages_;
};

// SPDX-License-Identifier: MIT
#include "ui/window_progress.h"

#include "engine/run_and_wait.h"
#include "ui/file_list_view.h"
#include "ui/progress_bar_text.h"

#include <QCoreApplication>
#include <QProgressBar>

#include <algorithm>

void YieldToWindow() {
    QCoreApplication::processEvents();
}

std::function<void(const QString&)> AddToList(FileListView& list) {
    return [&list](const QString& path) { list.Add(path); };
}

WindowProgress::WindowProgress(QProgressBar* bar) : bar_(bar) {}

void WindowProgress::Yield() {
    YieldToWindow();
}

bool WindowProgress::Shows() const {
    return bar_ != nullptr;
}

QString WindowProgress::Text() const {
    return bar_ != nullptr ? ProgressBarText(bar_) : QString();
}

int WindowProgress::Value() const {
    return bar_ != nullptr ? bar_->value() : 0;
}

void WindowProgress::SetText(const QString& text) {
    if (bar_ != nullptr) {
        SetProgressBarText(bar_, text);
    }
}

void WindowProgress::SetValue(int value) {
    // QProgressBar ignores a value outside its range; the wait's last nudge may pass the end.
    if (bar_ != nullptr) {
        bar_->setValue(std::clamp(value, bar_->minimum(), bar_->maximum()));
    }
}

qint32 RunAndWait(const QString& commandLine, std::optional<int> windowStyle, QProgressBar* bar,
                  const QString& barText, int barValue, int fileCount, QString* childError,
                  int* polls) {
    WindowProgress progress(bar);
    return RunAndWait(commandLine, windowStyle, static_cast<ConverterProgress&>(progress),
                      barText, barValue, fileCount, childError, polls);
}

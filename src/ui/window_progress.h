// SPDX-License-Identifier: MIT
#pragma once

#include "engine/converter_progress.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class FileListView;
class QProgressBar;

// The window's side of the engine's waits and scans: the progress bar shows a converter
// wait, and every yield runs the window's event loop once.

// Runs the event loop once, so the window repaints and answers while the engine works.
void YieldToWindow();

// Appends a path to the list view (what the folder scan hands over).
std::function<void(const QString&)> AddToList(FileListView& list);

// A converter wait on the window's progress bar. The bar may close while the wait yields;
// the progress then stops showing.
class WindowProgress final : public ConverterProgress {
public:
    // A null bar shows nothing but still yields to the window.
    explicit WindowProgress(QProgressBar* bar);

    void Yield() override;
    bool Shows() const override;
    QString Text() const override;
    int Value() const override;
    void SetText(const QString& text) override;
    void SetValue(int value) override;

private:
    QPointer<QProgressBar> bar_;
};

// RunAndWait with its wait on a progress bar (or none) and the window's event loop.
qint32 RunAndWait(const QString& commandLine, std::optional<int> windowStyle, QProgressBar* bar,
                  const QString& barText, int barValue, int fileCount,
                  QString* childError = nullptr, int* polls = nullptr);

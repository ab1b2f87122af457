// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// What a wait for the converter shows while the child runs, and how it lets the caller's
// user interface breathe. The window shows the wait on its progress bar and runs its event
// loop; a program without a window passes NoConverterProgress.
//
// RunAndWait calls Yield() several times a 100 ms poll. While Shows() is true, from the
// 50th poll on it sets the text "<barText>, Please wait.. <n>" and every 150 polls moves
// the value on by a tenth of one file's share; when the child has ended it sets barText
// back ("Progress Bar" when empty). Shows() is asked again after every Yield(): the bar's
// window may have closed meanwhile.
class ConverterProgress {
public:
    virtual ~ConverterProgress() = default;

    virtual void Yield() = 0;
    virtual bool Shows() const = 0;
    // The text shown now, as last given to SetText (or the bar's own).
    virtual QString Text() const = 0;
    virtual int Value() const = 0;
    // Shown exactly as given: a "%" in a file name stays a "%".
    virtual void SetText(const QString& text) = 0;
    // A value outside the bar's range is clamped to it, never dropped.
    virtual void SetValue(int value) = 0;
};

// Shows nothing and yields nothing: the poll's sleep is all the waiting there is.
class NoConverterProgress final : public ConverterProgress {
public:
    void Yield() override {}
    bool Shows() const override { return false; }
    QString Text() const override { return QString(); }
    int Value() const override { return 0; }
    void SetText(const QString&) override {}
    void SetValue(int) override {}
};

// SPDX-License-Identifier: MIT
#pragma once

#include "util/dialogs.h"
#include "util/vb_error.h"

#include <QString>

#include <exception>
#include <functional>
#include <new>
#include <utility>

class ErrorTrap;

// While one lives, every trap of this thread tells it of each error before showing its
// box: a program without a window keeps the failures as values (which trap, which label,
// which number, which text) and never reads a box's text back.
class TrapReports {
public:
    using Sink = std::function<void(const ErrorTrap& trap, int label, int number,
                                    const QString& description)>;
    explicit TrapReports(Sink sink);
    ~TrapReports();
    TrapReports(const TrapReports&) = delete;
    TrapReports& operator=(const TrapReports&) = delete;

    // The innermost one of this thread, or null.
    static TrapReports* Current();
    void Tell(const ErrorTrap& trap, int label, int number, const QString& description) const;

private:
    Sink sink_;
    TrapReports* outer_;
};

// Where support requests go; shown at the foot of every error box.
inline constexpr char kSupportAddress[] = "support@velloran.org";
inline constexpr char kProjectTag[] = "Pellinor2021/08/31";

// The error trap of one handler or routine. Each statement runs through Do() with its
// label; a statement that throws is reported in the "Application Error" box and the
// handler goes on with its next statement. A condition evaluated through Test() that
// throws counts as true, so the statements it guards still run.
class ErrorTrap {
public:
    // where: "<Object>.<Procedure>", e.g. "Form1.PushButton2_Click".
    ErrorTrap(Dialogs& dialogs, QString where, QString project = QString::fromLatin1(kProjectTag));

    template <class F>
    bool Do(int label, F&& statement) {
        try {
            std::forward<F>(statement)();
            return true;
        } catch (...) {
            ReportCurrent(label);
            return false;
        }
    }

    template <class F>
    bool Test(int label, F&& condition) {
        try {
            return static_cast<bool>(std::forward<F>(condition)());
        } catch (...) {
            ReportCurrent(label);
            return true;
        }
    }

    // Shows the box for an error caught elsewhere.
    void Report(int label, int number, const QString& description);

    // "in Pellinor2021/08/31.Form1.PushButton2_Click "
    QString LocationText() const;

    // The full text of the "Application Error" box.
    static QString MessageText(const QString& description, const QString& locationText, int label);

    int errorCount() const { return errors_; }

    // Told of every error this trap reports, just before its box shows: a program without
    // a window collects the failures with their numbers.
    using Listener = std::function<void(int label, int number, const QString& description)>;
    void SetListener(Listener listener) { listener_ = std::move(listener); }

    const QString& where() const { return where_; }
    const QString& project() const { return project_; }

private:
    void ReportCurrent(int label);

    Dialogs& dialogs_;
    QString where_;
    QString project_;
    int errors_ = 0;
    Listener listener_;
};

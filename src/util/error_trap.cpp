// SPDX-License-Identifier: MIT
#include "util/error_trap.h"

namespace {

thread_local TrapReports* currentReports = nullptr;

}  // namespace

TrapReports::TrapReports(Sink sink) : sink_(std::move(sink)), outer_(currentReports) {
    currentReports = this;
}

TrapReports::~TrapReports() {
    currentReports = outer_;
}

TrapReports* TrapReports::Current() {
    return currentReports;
}

void TrapReports::Tell(const ErrorTrap& trap, int label, int number,
                       const QString& description) const {
    sink_(trap, label, number, description);
}

ErrorTrap::ErrorTrap(Dialogs& dialogs, QString where, QString project)
    : dialogs_(dialogs), where_(std::move(where)), project_(std::move(project)) {}

QString ErrorTrap::LocationText() const {
    return QStringLiteral("in ") + project_ + QLatin1Char('.') + where_ + QLatin1Char(' ');
}

QString ErrorTrap::MessageText(const QString& description, const QString& locationText, int label) {
    return description + QStringLiteral("\r\n") + locationText + QStringLiteral("at line ") +
           QString::number(label) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QString::fromLatin1(kSupportAddress);
}

void ErrorTrap::Report(int label, int number, const QString& description) {
    ++errors_;
    if (listener_) {
        listener_(label, number, description);
    }
    if (const TrapReports* reports = TrapReports::Current()) {
        reports->Tell(*this, label, number, description);
    }
    dialogs_.messageBox(MessageText(description, LocationText(), label),
                        QStringLiteral("Application Error"), Dialogs::Icon::Warning,
                        Dialogs::Buttons::Ok);
}

void ErrorTrap::ReportCurrent(int label) {
    // Rethrow inside a try block to learn which kind of failure is in flight.
    try {
        throw;
    } catch (const VbError& e) {
        Report(label, e.number(), e.description());
    } catch (const std::bad_alloc&) {
        Report(label, vberr::kOutOfMemory, VbErrorDescription(vberr::kOutOfMemory));
    } catch (const std::exception& e) {
        Report(label, 0, QString::fromUtf8(e.what()));
    } catch (...) {
        Report(label, 0, VbErrorDescription(0));
    }
}

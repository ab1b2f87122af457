// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <exception>

// A failed statement. Handlers throw it; the error trap of the nearest handler
// catches it, shows it and lets the handler carry on with its next statement.
class VbError : public std::exception {
public:
    VbError(int number, QString description);

    int number() const { return number_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    int number_;
    QString description_;
    QByteArray what_;
};

// Error numbers the program raises, with the descriptions users know them by.
namespace vberr {
inline constexpr int kInvalidCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDiskFull = 61;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kInvalidPicture = 481;
inline constexpr int kInvalidPropertyValue = 380;
inline constexpr int kPropertyReadOnly = 383;
inline constexpr int kConverterFailed = 1001;
inline constexpr int kIndexOutOfBounds = 35600;
}  // namespace vberr

// The standard description of an error number ("Type mismatch", ...).
QString VbErrorDescription(int number);

// Throws a VbError; an empty description takes the standard one.
[[noreturn]] void Raise(int number, const QString& description = QString());

// SPDX-License-Identifier: MIT
#include "util/vb_error.h"

VbError::VbError(int number, QString description)
    : number_(number), description_(std::move(description)), what_(description_.toUtf8()) {}

QString VbErrorDescription(int number) {
    switch (number) {
        case vberr::kInvalidCall:
            return QStringLiteral("Invalid procedure call or argument");
        case vberr::kOverflow:
            return QStringLiteral("Overflow");
        case vberr::kOutOfMemory:
            return QStringLiteral("Out of memory");
        case vberr::kTypeMismatch:
            return QStringLiteral("Type mismatch");
        case vberr::kFileNotFound:
            return QStringLiteral("File not found");
        case vberr::kDiskFull:
            return QStringLiteral("Disk full");
        case vberr::kPermissionDenied:
            return QStringLiteral("Permission denied");
        case vberr::kPathFileAccess:
            return QStringLiteral("Path/File access error");
        case vberr::kPathNotFound:
            return QStringLiteral("Path not found");
        case vberr::kInvalidPropertyValue:
            return QStringLiteral("Invalid property value");
        case vberr::kPropertyReadOnly:
            return QStringLiteral("'Text' property is read-only");
        case vberr::kIndexOutOfBounds:
            return QStringLiteral("Index out of bounds");
        case vberr::kInvalidPicture:
            return QStringLiteral("Invalid picture");
        default:
            return QStringLiteral("Application-defined or object-defined error");
    }
}

void Raise(int number, const QString& description) {
    throw VbError(number, description.isEmpty() ? VbErrorDescription(number) : description);
}

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

inline constexpr char kProductName[] = "Velloran";

// Sets the application title from the product name: a longer name loses words from
// its end until it is at most 40 characters; a one-word name is used whole.
void SetApplicationTitle();
// The title computed from a product name by the rule above.
QString ApplicationTitleFor(const QString& productName);
// The caption of every message box that names no caption of its own.
QString ApplicationTitle();

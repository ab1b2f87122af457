// SPDX-License-Identifier: MIT
#pragma once

#include <QCursor>
#include <QString>

// Loads a Windows cursor (.cur) or icon (.ico) file as a mouse pointer, with the
// hot spot the cursor file names. Throws VbError 481 when the file is no such image.
QCursor LoadCursorFile(const QString& path);

// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// The largest picture a coded stream's own header says its decoder will allocate.
struct CodedSize {
    qint64 width = 0;
    qint64 height = 0;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "util/vb_error.h"

// Runs the statement and returns the VbError it raised (number -1 when none).
template <class F>
VbError Raised(F&& statement) {
    try {
        statement();
    } catch (const VbError& e) {
        return e;
    }
    return VbError(-1, QString());
}

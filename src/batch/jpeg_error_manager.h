// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// Error handling for one libjpeg codec object. libjpeg reports a fatal error by calling
// error_exit, which must not return: it jumps back to the setjmp() in `jump`. Functions
// that call setjmp() therefore hold only trivially destructible locals, so the jump
// skips no destructor. Corrupt-data warnings that mean pixels are missing or garbled
// are remembered, so a truncated file is not taken for a whole one.
struct JpegErrorManager {
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
    // libjpeg's text of the fatal error, or of the first damage warning.
    char message[JMSG_LENGTH_MAX] = {};
    bool damaged = false;

    // Installs this manager on a codec object before jpeg_create_*.
    void Attach(jpeg_common_struct* codec);

    QString Message() const { return QString::fromLocal8Bit(message); }
};

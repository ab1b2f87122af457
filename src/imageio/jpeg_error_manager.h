// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// Error handling and work limits for one libjpeg codec object. libjpeg reports a fatal
// error by calling error_exit, which must not return: it jumps back to the setjmp() in
// `jump`. Functions that call setjmp() therefore hold only trivially destructible locals,
// so the jump skips no destructor. A corrupt-data warning that means pixels are missing
// or garbled also jumps back at once: the picture is refused anyway, and a file cut
// short early would otherwise be decoded to its declared end from invented data.
struct JpegErrorManager {
    // A progressive file may hold any number of scans, and each one makes the decoder
    // pass over the whole picture again; 60,000 scans in 2 MB kept a decoder busy for
    // minutes. No encoder writes more than a few dozen.
    static constexpr int kMaxScans = 500;

    jpeg_error_mgr pub{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    // libjpeg's text of the fatal error, or of the damage warning.
    char message[JMSG_LENGTH_MAX] = {};
    bool damaged = false;
    bool tooManyScans = false;

    // Installs this manager on a codec object before jpeg_create_*.
    void Attach(jpeg_common_struct* codec);
    // Installs the scan limit on a decompressor after jpeg_create_decompress.
    void LimitScans(jpeg_decompress_struct* decoder);
    // The fatal error was libjpeg refusing memory beyond max_memory_to_use.
    bool OutOfMemory() const;

    QString Message() const { return QString::fromLocal8Bit(message); }
};

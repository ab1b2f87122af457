// SPDX-License-Identifier: MIT
#include "imageio/jpeg_error_manager.h"

#include <cstring>

#include <jerror.h>

namespace {

JpegErrorManager* ManagerOf(j_common_ptr codec) {
    // pub is the first member, so libjpeg's pointer is the manager's address.
    return reinterpret_cast<JpegErrorManager*>(codec->err);
}

void ExitOnError(j_common_ptr codec) {
    JpegErrorManager* manager = ManagerOf(codec);
    (*codec->err->format_message)(codec, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings after which the decoded rows are not the picture the file was meant to hold.
bool MeansDamage(int code) {
    switch (code) {
        case JWRN_JPEG_EOF:
        case JWRN_HIT_MARKER:
        case JWRN_MUST_RESYNC:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
        case JWRN_NOT_SEQUENTIAL:
        case JWRN_BOGUS_PROGRESSION:
            return true;
        default:
            return false;
    }
}

void KeepWarning(j_common_ptr codec, int level) {
    // Levels 0 and above are trace messages.
    if (level >= 0) {
        return;
    }
    JpegErrorManager* manager = ManagerOf(codec);
    ++codec->err->num_warnings;
    if (MeansDamage(codec->err->msg_code)) {
        manager->damaged = true;
        (*codec->err->format_message)(codec, manager->message);
        std::longjmp(manager->jump, 1);
    }
}

void Silent(j_common_ptr) {}

void CountScans(j_common_ptr codec) {
    const auto* decoder = reinterpret_cast<j_decompress_ptr>(codec);
    JpegErrorManager* manager = ManagerOf(codec);
    if (decoder->input_scan_number > JpegErrorManager::kMaxScans) {
        manager->tooManyScans = true;
        std::snprintf(manager->message, sizeof manager->message, "more than %d scans",
                      JpegErrorManager::kMaxScans);
        std::longjmp(manager->jump, 1);
    }
}

}  // namespace

void JpegErrorManager::Attach(jpeg_common_struct* codec) {
    codec->err = jpeg_std_error(&pub);
    pub.error_exit = ExitOnError;
    pub.emit_message = KeepWarning;
    pub.output_message = Silent;
}

void JpegErrorManager::LimitScans(jpeg_decompress_struct* decoder) {
    progress.progress_monitor = CountScans;
    decoder->progress = &progress;
}

bool JpegErrorManager::OutOfMemory() const {
    return pub.msg_code == JERR_NO_BACKING_STORE || pub.msg_code == JERR_OUT_OF_MEMORY;
}

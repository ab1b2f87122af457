// SPDX-License-Identifier: MIT
#include "imageio/libheif_session.h"

void EnsureLibheif() {
    static const bool ready = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)ready;
}

HeifDecodingOptions::HeifDecodingOptions() : options_(heif_decoding_options_alloc()) {
    if (options_->version >= 2) {
        options_->convert_hdr_to_8bit = 1;
    }
    if (options_->version >= 3) {
        options_->strict_decoding = 1;
    }
}

// SPDX-License-Identifier: MIT
#pragma once

#include <libheif/heif.h>

// Sets libheif up once for the whole process; every reader and writer calls it first.
// libheif counts its users, and the process stays one of them to its end: a later
// heif_deinit() would unload the codecs under a decode running on another thread.
void EnsureLibheif();

// Owners of libheif's objects, so every way out of a reader or writer releases them.
class HeifContext {
public:
    HeifContext() : context_(heif_context_alloc()) {}
    ~HeifContext() { heif_context_free(context_); }
    HeifContext(const HeifContext&) = delete;
    HeifContext& operator=(const HeifContext&) = delete;
    heif_context* get() const { return context_; }

private:
    heif_context* context_;
};

class HeifHandle {
public:
    HeifHandle() = default;
    ~HeifHandle() {
        if (handle_ != nullptr) {
            heif_image_handle_release(handle_);
        }
    }
    HeifHandle(const HeifHandle&) = delete;
    HeifHandle& operator=(const HeifHandle&) = delete;
    heif_image_handle* get() const { return handle_; }
    heif_image_handle** out() { return &handle_; }

private:
    heif_image_handle* handle_ = nullptr;
};

class HeifImage {
public:
    HeifImage() = default;
    ~HeifImage() {
        if (image_ != nullptr) {
            heif_image_release(image_);
        }
    }
    HeifImage(const HeifImage&) = delete;
    HeifImage& operator=(const HeifImage&) = delete;
    heif_image* get() const { return image_; }
    heif_image** out() { return &image_; }

private:
    heif_image* image_ = nullptr;
};

// Decoding that fails on damage instead of filling in what is missing, with pictures of
// more than 8 bits reduced to 8.
class HeifDecodingOptions {
public:
    HeifDecodingOptions();
    ~HeifDecodingOptions() { heif_decoding_options_free(options_); }
    HeifDecodingOptions(const HeifDecodingOptions&) = delete;
    HeifDecodingOptions& operator=(const HeifDecodingOptions&) = delete;
    const heif_decoding_options* get() const { return options_; }

private:
    heif_decoding_options* options_;
};

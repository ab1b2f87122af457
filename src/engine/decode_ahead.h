// SPDX-License-Identifier: MIT
#pragma once

#include "engine/picture_loader.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Decodes the pictures of a batch run's next entries on worker threads while the window's
// thread stamps and writes the current one, so a two-core machine decodes one picture while
// it encodes the other.
//
// Nothing the user sees depends on it: the window's thread asks for a picture at the step
// that loads it, and gets the one decoded ahead only when the file at that path is still the
// very file that was read (device, inode, size, change and modification times, read access).
// Anything else (a file changed, moved or removed in the meantime, a decode that failed, a
// picture above the memory budget) gives nothing, and the caller loads the file itself as it
// would without workers, so errors are raised by that load, at that step, with its text.
class DecodeAhead {
public:
    // Decodes with `workers` threads; 0 decodes nothing ahead.
    explicit DecodeAhead(int workers);
    // Drops what was not taken and waits for the decodes under way.
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Worker threads for a run: one less than the cores, at most kMaxWorkers. The environment
    // variable VELLORAN_THREADS (counting the window's thread) overrides the core count, so
    // benchmarks and tests can compare a one-thread run with an all-core one.
    static int WorkersForThisMachine();

    int workers() const { return int(threads_.size()); }

    // Keeps the decode of `current` if one was started, and starts decoding the pictures at
    // `upcoming` (at most workers() of them are taken); every other decode is dropped. When
    // `current` is not being decoded here, the new decodes start only once the caller has
    // asked for it with Take() and read it itself. An empty `current`: nothing to wait for.
    // With `jpegPlanes`, a picture whose copy may be stamped in its planes (CopiesInPlanes: a
    // JPEG, HEIC, HEIF or AVIF) is decoded as LoadPictureOrPlanes decodes it for its copy,
    // and is had through TakeLoaded.
    void Prefetch(const QString& current, const QStringList& upcoming, bool jpegPlanes = false);

    // The picture decoded ahead for `path`, when the file there is still the one decoded;
    // waits for a decode under way. Empty when there is none or it cannot be trusted: the
    // caller then reads the file itself, so the workers have finished what they were
    // decoding and start nothing new until Loaded() (or the next Prefetch).
    std::optional<QImage> Take(const QString& path);
    // The same for a road that takes a picture's planes (Prefetch with `jpegPlanes`).
    std::optional<LoadedPicture> TakeLoaded(const QString& path);

    // The caller has read the picture that Take() did not give: the workers go on.
    void Loaded();

    // Decodes asked for that no worker has begun yet.
    int Queued();

    static constexpr int kMaxWorkers = 3;
    // What one worker's decode may hold: the file's bytes, the picture (4 bytes a pixel) and
    // the decoder's own buffers together. A picture beyond it is left to the window's
    // thread, so a worker never costs more than this beside the window's own picture.
    static constexpr qint64 kMaxPictureBytes = qint64(256) * 1024 * 1024;

private:
    struct Job;

    void Work();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::list<std::shared_ptr<Job>> jobs_;
    bool stopping_ = false;
    bool held_ = false;  // workers wait for the window's thread to read its picture
    int running_ = 0;    // decodes under way
    std::vector<std::thread> threads_;
};

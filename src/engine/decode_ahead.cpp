// SPDX-License-Identifier: MIT
#include "engine/decode_ahead.h"

#include "engine/picture_loader.h"
#include "imageio/jpeg_block_memory.h"
#include "imageio/picture_format.h"
#include "util/path_bytes.h"

#include <QFile>
#include <QImageReader>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// What tells one file at a path from another, or from itself after a change. A change of
// content moves the modification time; a rename, chmod or link count change moves the
// change time, which no user can set back.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileIdentity Of(const struct stat& st) {
        return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const FileIdentity& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

// The identity of the regular file that `path` names now, following links as a load does.
std::optional<FileIdentity> IdentityAt(const QString& path) {
    struct stat st {};
    const QByteArray name = PathBytes(path);
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ::access(name.constData(), R_OK) != 0) {
        return std::nullopt;
    }
    return FileIdentity::Of(st);
}

qint64 Nanoseconds(const timespec& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The kernel stamps files from a clock that advances in ticks (up to 10 ms), so a file
// written in the same tick as an earlier write can keep its times. A file whose times are
// that close to the read may have changed unseen after it: such a decode is not trusted.
constexpr qint64 kClockTickMarginNs = qint64(20) * 1000 * 1000;

bool ChangedNear(const FileIdentity& file, const timespec& readStart) {
    const qint64 limit = Nanoseconds(readStart) - kClockTickMarginNs;
    return Nanoseconds(file.modified) >= limit || Nanoseconds(file.changed) >= limit;
}

constexpr qint64 kSniffBytes = 64;

// Qt's reader for each format the picture loader accepts; nullptr for every other.
const char* ReaderFormat(PictureFormat format) {
    switch (format) {
        case PictureFormat::Jpeg:
            return "jpeg";
        case PictureFormat::Bmp:
            return "bmp";
        case PictureFormat::Gif:
            return "gif";
        case PictureFormat::Icon:
            return "ico";
        default:
            return nullptr;
    }
}

// Opens the file without following it into a FIFO or device (O_NONBLOCK: opening a FIFO
// never waits for a writer) and reads the picture's size from its header. The identity of
// the file opened is kept, so a later swap of the path shows up as another identity.
std::optional<FileIdentity> OpenAndCheckSize(const QString& path) {
    const QByteArray name = PathBytes(path);
    if (name.isEmpty()) {
        return std::nullopt;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    // Only the formats the loader reads are looked at, each by its own reader: no other
    // decoder of Qt's ever sees a file the run will refuse anyway.
    const char* format = ReaderFormat(SniffPictureFormat(file.peek(kSniffBytes)));
    if (format == nullptr) {
        return std::nullopt;
    }
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (!size.isValid() ||
        qint64(size.width()) * size.height() * 4 > DecodeAhead::kMaxPictureBytes) {
        return std::nullopt;
    }
    return FileIdentity::Of(st);
}

}  // namespace

struct DecodeAhead::Job {
    enum class State { Queued, Running, Done };

    Job(QString p, bool planes) : path(std::move(p)), wantPlanes(planes) {}

    const QString path;
    // A picture copied in its own planes (CopiesInPlanes) is decoded to them when they can
    // hold it.
    const bool wantPlanes;
    State state = State::Queued;
    // Set by the worker when the decode can stand in for a load at the time of reading.
    std::optional<FileIdentity> identity;
    LoadedPicture picture;
};

DecodeAhead::DecodeAhead(int workers) {
    workers = std::clamp(workers, 0, kMaxWorkers);
    try {
        threads_.reserve(size_t(workers));
        for (int i = 0; i < workers; ++i) {
            threads_.emplace_back([this] { Work(); });
        }
    } catch (const std::exception&) {
        // Out of threads or memory: the window's thread loads what no worker decodes.
    }
}

DecodeAhead::~DecodeAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
    // The run is over: the window holds no spare block memory while it waits.
    JpegBlockArrays::DropSpares();
}

int DecodeAhead::WorkersForThisMachine() {
    bool ok = false;
    int threads = qEnvironmentVariableIntValue("VELLORAN_THREADS", &ok);
    if (!ok || threads < 1) {
        threads = QThread::idealThreadCount();
    }
    return std::clamp(threads - 1, 0, kMaxWorkers);
}

void DecodeAhead::Prefetch(const QString& current, const QStringList& upcoming, bool jpegPlanes) {
    if (threads_.empty()) {
        return;
    }
    QStringList wanted;
    for (const QString& path : upcoming) {
        if (wanted.size() == workers()) {
            break;
        }
        if (!wanted.contains(path)) {
            wanted << path;
        }
    }
    {
        const std::lock_guard lock(mutex_);
        // When the window's thread is about to read the current picture itself, the workers
        // wait for that: a decode beside it would slow the read (both need the memory bus)
        // and so lengthen the window's longest stretch without a turn of its event loop.
        held_ = !current.isEmpty() &&
                std::none_of(jobs_.begin(), jobs_.end(),
                             [&](const auto& job) { return job->path == current; });
        // A decode under way is left to finish; it is dropped at the next call.
        jobs_.remove_if([&](const std::shared_ptr<Job>& job) {
            return job->state != Job::State::Running && job->path != current &&
                   !wanted.contains(job->path);
        });
        for (const QString& path : wanted) {
            const bool known = std::any_of(jobs_.begin(), jobs_.end(),
                                           [&](const auto& job) { return job->path == path; });
            if (!known && path != current) {
                jobs_.push_back(std::make_shared<Job>(path, jpegPlanes && CopiesInPlanes(path)));
            }
        }
    }
    changed_.notify_all();
}

std::optional<QImage> DecodeAhead::Take(const QString& path) {
    if (std::optional<LoadedPicture> picture = TakeLoaded(path)) {
        return std::move(picture->image);
    }
    return std::nullopt;
}

std::optional<LoadedPicture> DecodeAhead::TakeLoaded(const QString& path) {
    std::shared_ptr<Job> job;
    {
        std::unique_lock lock(mutex_);
        // Unless a decode stands in for it, the window's thread reads the picture itself:
        // no worker starts another decode from here until it has (Loaded()).
        held_ = true;
        const auto found = std::find_if(jobs_.begin(), jobs_.end(),
                                        [&](const auto& j) { return j->path == path; });
        if (found != jobs_.end()) {
            job = *found;
            jobs_.erase(found);
            // Not started: the window's thread reads it as soon as a worker would.
            if (job->state != Job::State::Queued) {
                changed_.wait(lock, [&] { return job->state == Job::State::Done; });
            }
        }
    }
    if (job && job->state == Job::State::Done && job->identity &&
        IdentityAt(path) == job->identity) {
        Loaded();
        return std::move(job->picture);
    }
    // The decodes under way end before the read, so the window's thread loads with no
    // worker's picture and buffers growing beside its own.
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return running_ == 0; });
    return std::nullopt;
}

void DecodeAhead::Loaded() {
    {
        const std::lock_guard lock(mutex_);
        held_ = false;
    }
    changed_.notify_all();
}

int DecodeAhead::Queued() {
    const std::lock_guard lock(mutex_);
    return int(std::count_if(jobs_.begin(), jobs_.end(),
                             [](const auto& job) { return job->state == Job::State::Queued; }));
}

void DecodeAhead::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] {
            return stopping_ ||
                   (!held_ && std::any_of(jobs_.begin(), jobs_.end(), [](const auto& job) {
                       return job->state == Job::State::Queued;
                   }));
        });
        if (stopping_) {
            return;
        }
        const std::shared_ptr<Job> job =
            *std::find_if(jobs_.begin(), jobs_.end(),
                          [](const auto& j) { return j->state == Job::State::Queued; });
        job->state = Job::State::Running;
        ++running_;
        lock.unlock();

        std::optional<FileIdentity> identity;
        LoadedPicture picture;
        try {
            timespec readStart{};
            ::clock_gettime(CLOCK_REALTIME, &readStart);
            if (const auto opened = OpenAndCheckSize(job->path)) {
                // Everything the decode holds counts: the file's bytes, the picture and
                // libjpeg's coefficient buffers.
                picture = LoadForCopy(job->path, kMaxPictureBytes, job->wantPlanes);
                // The load opened the path anew: it read the file checked only if the path
                // still names it, unchanged, now that the reading is over.
                const auto after = IdentityAt(job->path);
                if (after == opened && !ChangedNear(*after, readStart)) {
                    identity = after;
                }
            }
        } catch (...) {
            // A failed decode (out of memory included) is repeated by the window's thread,
            // which reports it.
            identity.reset();
            picture = LoadedPicture();
        }

        lock.lock();
        job->identity = identity;
        job->picture = identity ? std::move(picture) : LoadedPicture();
        job->state = Job::State::Done;
        --running_;
        changed_.notify_all();
    }
}

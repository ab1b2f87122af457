// SPDX-License-Identifier: MIT
// The hot-folder watch against real writers: slow writers, renames, new folders, names to
// leave out and a kernel queue that overflows. Times are generous bounds only.
#include "engine/folder_watch.h"
#include "util/path_bytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kSettleMs = 500;
// A writer's pause, well inside the settle time even on a loaded machine.
constexpr int kPauseMs = 100;

FolderWatchOptions Pictures() {
    FolderWatchOptions options;
    options.extensions = {QStringLiteral("jpg")};
    options.settleMs = kSettleMs;
    return options;
}

// Every path handed within `ms`, returning early once `count` have come.
QStringList Collect(FolderWatch& watch, int ms, int count = INT_MAX) {
    QStringList handed;
    QElapsedTimer timer;
    timer.start();
    while (handed.size() < count && timer.elapsed() < ms) {
        if (const std::optional<QString> path = watch.Next(100)) {
            handed << *path;
        }
    }
    return handed;
}

bool Append(const QString& path, const QByteArray& bytes, int fd = -1) {
    const int own = fd >= 0 ? fd
                            : ::open(QFile::encodeName(path).constData(),
                                     O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const bool ok =
        own >= 0 && ::write(own, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    if (fd < 0 && own >= 0) {
        ::close(own);
    }
    return ok;
}

bool WriteBytes(const QByteArray& path, const QByteArray& bytes = "picture") {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool ok =
        fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    return fd >= 0 && ::close(fd) == 0 && ok;
}

bool Write(const QString& path, const QByteArray& bytes = "picture") {
    return WriteBytes(QFile::encodeName(path), bytes);
}

}  // namespace

class FolderWatchTest : public QObject {
    Q_OBJECT

private slots:
    // A writer that pauses between chunks gets its picture handed once, whole.
    void slowWriter_data() {
        QTest::addColumn<bool>("closeEachChunk");
        QTest::newRow("closes and reopens for each chunk") << true;
        QTest::newRow("closes the empty file, then writes on") << false;
    }
    void slowWriter() {
        QFETCH(bool, closeEachChunk);
        QTemporaryDir dir;
        FolderWatch watch({dir.path()}, Pictures());
        QVERIFY(watch.Watching());
        const QString path = dir.filePath(QStringLiteral("IMG_0001.jpg"));
        const QByteArray chunk(64 * 1024, 'x');
        constexpr int kChunks = 8;
        QVERIFY(Write(path, {}));
        const int fd = closeEachChunk ? -1
                                      : ::open(QFile::encodeName(path).constData(),
                                               O_WRONLY | O_APPEND | O_CLOEXEC);
        for (int i = 0; i < kChunks; ++i) {
            QVERIFY(Append(path, chunk, fd));
            QCOMPARE(Collect(watch, kPauseMs), QStringList());
        }
        if (fd >= 0) {
            ::close(fd);
        }
        QCOMPARE(Collect(watch, 10000, 1), QStringList{path});
        QCOMPARE(QFileInfo(path).size(), qint64(kChunks) * chunk.size());
        QCOMPARE(Collect(watch, 2 * kSettleMs), QStringList());
    }

    // Pictures moved in, from outside or from a temporary name of our own writers, and
    // pictures in folders made after the watch started. Paths as bytes: one is not UTF-8.
    void arrivals_data() {
        QTest::addColumn<QByteArray>("from");  // empty: written in place
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QByteArray>("moved");  // what the rename moves: "file" or "folder"
        QTest::newRow("renamed in from outside")
            << QByteArray("outside/a.jpg") << QByteArray("in/a.jpg") << QByteArray("file");
        QTest::newRow("our own temporary name renamed")
            << QByteArray("in/.velloran-0123456789abcdef-4026531836-4242-abc123.jpg")
            << QByteArray("in/b.jpg") << QByteArray("file");
        QTest::newRow("folder moved in") << QByteArray("outside/card/e.jpg")
                                         << QByteArray("in/card/e.jpg") << QByteArray("folder");
        QTest::newRow("new subfolder")
            << QByteArray() << QByteArray("in/new/c.jpg") << QByteArray();
        QTest::newRow("new nested folders")
            << QByteArray() << QByteArray("in/x/y/z/d.jpg") << QByteArray();
        QTest::newRow("name not UTF-8")
            << QByteArray() << QByteArray("in/caf\xe9.jpg") << QByteArray();
    }
    void arrivals() {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QByteArray, moved);
        QTemporaryDir dir;
        const QByteArray base = QFile::encodeName(dir.path()) + '/';
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("in")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("outside/card")));
        FolderWatch watch({dir.filePath(QStringLiteral("in"))}, Pictures());
        const QByteArray target = base + to;
        if (from.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(QFile::decodeName(target)).path()));
            QVERIFY(WriteBytes(target));
        } else {
            QVERIFY(WriteBytes(base + from));
            const auto folderOf = [](const QByteArray& p) { return p.left(p.lastIndexOf('/')); };
            const QByteArray source = moved == "folder" ? folderOf(base + from) : base + from;
            const QByteArray destination = moved == "folder" ? folderOf(target) : target;
            QCOMPARE(::rename(source.constData(), destination.constData()), 0);
        }
        QCOMPARE(Collect(watch, 10000, 1), QStringList{PathText(target)});
        QCOMPARE(Collect(watch, 2 * kSettleMs), QStringList());
    }

    // Names the window's folder scan leaves out, files of the wrong extension, links to
    // files and the output folder inside the tree are never handed.
    void leftOut() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
        FolderWatchOptions options = Pictures();
        options.skipFolders = {dir.filePath(QStringLiteral("out/"))};
        FolderWatch watch({dir.path()}, options);
        for (const char* name :
             {"~IMG.jpg", ".hidden.jpg", "notes.txt", "IMG.jpg.part", "out/copy.jpg"}) {
            QVERIFY(Write(dir.filePath(QLatin1String(name))));
        }
        // A link renamed in is seen as arriving, and still left out.
        QTemporaryDir staging;
        const QByteArray link = QFile::encodeName(staging.filePath(QStringLiteral("link.jpg")));
        QCOMPARE(::symlink("/etc/hostname", link.constData()), 0);
        QCOMPARE(
            ::rename(link.constData(), QFile::encodeName(dir.filePath("link.jpg")).constData()), 0);
        QVERIFY(Write(dir.filePath(QStringLiteral("UPPER.JPG"))));
        QCOMPARE(Collect(watch, 10000, 1), QStringList{dir.filePath(QStringLiteral("UPPER.JPG"))});
        QCOMPARE(Collect(watch, 2 * kSettleMs), QStringList());
    }

    // A link to a folder is followed only when the folder is the user's own.
    void linkedFolders() {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("mine"));
        QDir(dir.path()).mkpath(QStringLiteral("theirs"));
        QDir(dir.path()).mkpath(QStringLiteral("in"));
        const QByteArray theirs = QFile::encodeName(dir.filePath(QStringLiteral("theirs")));
        if (::chown(theirs.constData(), 65534, 65534) != 0) {
            QSKIP("needs to give a folder to another user (run as root)");
        }
        ::chmod(theirs.constData(), 0777);
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("mine")),
                            dir.filePath(QStringLiteral("in/mine"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("theirs")),
                            dir.filePath(QStringLiteral("in/theirs"))));
        FolderWatch watch({dir.filePath(QStringLiteral("in"))}, Pictures());
        QVERIFY(Write(dir.filePath(QStringLiteral("theirs/t.jpg"))));
        QVERIFY(Write(dir.filePath(QStringLiteral("mine/m.jpg"))));
        QCOMPARE(Collect(watch, 10000, 1),
                 QStringList{dir.filePath(QStringLiteral("in/mine/m.jpg"))});
        QCOMPARE(Collect(watch, 2 * kSettleMs), QStringList());
        const QList<FolderWatchProblem> problems = watch.TakeProblems();
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems[0].path, dir.filePath(QStringLiteral("in/theirs")));
    }

    // Folders that cannot be watched are reported, and a wait with nothing to watch still
    // lasts its time, so a caller's loop that polls a stop flag does not spin.
    void nothingToWatch() {
        QTemporaryDir dir;
        FolderWatch watch({dir.filePath(QStringLiteral("missing")), QString()}, Pictures());
        QVERIFY(!watch.Watching());
        QCOMPARE(watch.TakeProblems().size(), 2);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(watch.Next(300), std::nullopt);
        QVERIFY(timer.elapsed() >= 200);
    }

    // More events than the kernel queues while nobody reads: a rescan hands every new
    // picture once, and none of those that were there before the watch.
    void overflow() {
        QFile limit(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
        const int queued = limit.open(QIODevice::ReadOnly) ? limit.readAll().trimmed().toInt() : 0;
        if (queued <= 0 || queued > 40000) {
            QSKIP("the kernel's event queue is too long to overflow cheaply");
        }
        // Thousands of files are made far faster in memory than on a busy disk.
        QTemporaryDir shm(QStringLiteral("/dev/shm/velloran-watch-XXXXXX"));
        QTemporaryDir disk;
        const QTemporaryDir& dir = shm.isValid() ? shm : disk;
        QVERIFY(Write(dir.filePath(QStringLiteral("before.jpg"))));
        ::sleep(kRescanWaitSeconds);
        FolderWatch watch({dir.path()}, Pictures());
        // Each file gives a creation, a write and a close.
        const int files = queued / 3 + 100;
        for (int i = 0; i < files; ++i) {
            QVERIFY(Write(dir.filePath(QStringLiteral("%1.jpg").arg(i)), "p"));
        }
        // The queue is read well after the overflow, as on a busy machine: the rescan still
        // looks back to before it.
        ::sleep(kRescanWaitSeconds);
        QStringList handed = Collect(watch, 60000, files);
        handed += Collect(watch, 2 * kSettleMs);
        QCOMPARE(handed.size(), files);
        QCOMPARE(QSet<QString>(handed.begin(), handed.end()).size(), files);
        QVERIFY(!handed.contains(dir.filePath(QStringLiteral("before.jpg"))));
    }

private:
    // Longer than the rescan's look back, so a file made before it is old to the watch.
    static constexpr unsigned kRescanWaitSeconds = 3;
};

QTEST_GUILESS_MAIN(FolderWatchTest)
#include "folder_watch_test.moc"

// SPDX-License-Identifier: MIT
#include "imageio/result_file.h"
#include "support/test_environment.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

// Allocations left before the next one fails; negative: none fails.
std::atomic<int> allocationsLeft{-1};

bool CanActAsAnotherUser() {
    return ::geteuid() == 0 && !QStandardPaths::findExecutable("setpriv").isEmpty();
}

// Runs a command as uid 65534, the other user of these attacks.
bool AsAnotherUser(const QStringList& command) {
    return QProcess::execute("setpriv", QStringList{"--reuid=65534", "--regid=65534",
                                                    "--clear-groups", "--"} +
                                            command) == 0;
}

int OpenDescriptors() {
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

}  // namespace

void* operator new(std::size_t size) {
    if (allocationsLeft.load() == 0) {
        throw std::bad_alloc();
    }
    if (allocationsLeft.load() > 0) {
        --allocationsLeft;
    }
    if (void* memory = std::malloc(size > 0 ? size : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

class ResultFileTest : public QObject {
    Q_OBJECT

private slots:
    void replacesOnlyWhenCommitted_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("commit");
        for (const char* target : {"file", "own link", "own dangling link"}) {
            QTest::addRow("%s, committed", target) << target << true;
            QTest::addRow("%s, abandoned", target) << target << false;
        }
    }
    void replacesOnlyWhenCommitted() {
        QFETCH(QString, target);
        QFETCH(bool, commit);
        QTemporaryDir dir;
        const QString real = dir.filePath("real.png");
        QString path = real;
        QStringList names{"real.png"};
        if (target != "own dangling link") {
            WriteFile(real, "earlier");
            ::chmod(QFile::encodeName(real).constData(), 0640);
        }
        if (target != "file") {
            path = dir.filePath("link.png");
            QFile::link(real, path);
            names << "link.png";
        }
        {
            ResultFile file(path);
            QCOMPARE(file.targetPath(), real);
            QCOMPARE(QFileInfo(file.temporaryPath()).absolutePath(), dir.path());
            QVERIFY(file.temporaryPath().endsWith(".png"));
            QCOMPARE(file.write("new"), 3);
            if (commit) {
                file.Commit();
            }
        }
        const QByteArray before = target == "own dangling link" ? QByteArray() : "earlier";
        QCOMPARE(ReadFile(real), commit ? QByteArray("new") : before);
        if (target != "file") {
            QVERIFY(QFileInfo(path).isSymLink());
        }
        if (!commit && target == "own dangling link") {
            names.removeOne("real.png");
        }
        names.sort();
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            names);
        if (commit && target != "own dangling link") {
            // A replaced file keeps who may read it.
            QCOMPARE(QFileInfo(real).permissions(),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                         QFileDevice::WriteUser | QFileDevice::ReadGroup);
        }
    }

    // Another user's link on the way to the output (at the folder, above it, or behind
    // the user's own link), in a folder they may write to or in one of theirs, is refused
    // and the user's folder it points at keeps its file; the user's own link writes.
    void linksOnTheWayByTheirOwner_data() {
        QTest::addColumn<QString>("folderMode");
        QTest::addColumn<QString>("linkAt");
        QTest::addColumn<bool>("foreign");
        QTest::newRow("1777, theirs above the output folder") << "1777" << "above" << true;
        QTest::newRow("0777, theirs behind an own link") << "0777" << "behind own" << true;
        QTest::newRow("their 0755, theirs at the output folder") << "theirs" << "at" << true;
        QTest::newRow("0777, own at the output folder") << "0777" << "at" << false;
    }
    void linksOnTheWayByTheirOwner() {
        QFETCH(QString, folderMode);
        QFETCH(QString, linkAt);
        QFETCH(bool, foreign);
        if (!CanActAsAnotherUser()) {
            QSKIP("needs root and setpriv to act as another user");
        }
        QTemporaryDir dir;
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        const QString shared = dir.filePath("shared");
        const QString mine = dir.filePath("mine");
        QVERIFY(QDir().mkpath(mine + "/photos") && QDir().mkpath(shared));
        const QByteArray sharedPath = QFile::encodeName(shared);
        ::chmod(sharedPath.constData(), folderMode == "theirs" ? 0755 : folderMode.toUInt(nullptr, 8));
        if (folderMode == "theirs") {
            QVERIFY(::chown(sharedPath.constData(), 65534, 65534) == 0);
        }
        const QString victim = WriteFile(mine + "/photos/a.png", "the user's own");
        const QString pointsAt = linkAt == "above" ? mine : mine + "/photos";
        QVERIFY(foreign ? AsAnotherUser({"ln", "-s", pointsAt, shared + "/out"})
                        : QFile::link(pointsAt, shared + "/out"));
        QString folder = shared + (linkAt == "above" ? "/out/photos" : "/out");
        if (linkAt == "behind own") {
            QVERIFY(QFile::link(folder, dir.filePath("own")));
            folder = dir.filePath("own");
        }
        const int descriptors = OpenDescriptors();
        QString refusal;
        try {
            ResultFile file(folder + "/a.png");
            file.write("written");
            file.Commit();
        } catch (const ResultFileError& e) {
            QCOMPARE(e.number(), 70);
            refusal = e.reason();
        }
        QCOMPARE(ReadFile(victim), QByteArray(foreign ? "the user's own" : "written"));
        QVERIFY2(refusal.contains("a link that belongs to another user") == foreign,
                 qPrintable(refusal));
        QCOMPARE(OpenDescriptors(), descriptors);
        // The check a program makes on its output folder before a run agrees.
        QString checked;
        try {
            CheckResultFolder(folder);
        } catch (const ResultFileError& e) {
            checked = e.reason();
        }
        QCOMPARE(checked, refusal);
    }

    // Another user keeps swapping the temporary name with a file of theirs while the
    // result is committed. Whenever the swap falls, the final name ends up holding the
    // new file or the earlier one, never theirs and never nothing.
    void swapAtTheRenameNeverLosesTheEarlierFile() {
        QTemporaryDir dir;
        int refused = 0;
        for (int i = 0; i < 100; ++i) {
            const QString folder = dir.filePath(QString::number(i));
            QVERIFY(QDir().mkpath(folder));
            const QString target = WriteFile(folder + "/a.png", "earlier");
            WriteFile(folder + "/decoy", "theirs");
            const UniqueFd folderFd(::open(QFile::encodeName(folder).constData(),
                                           O_PATH | O_DIRECTORY | O_CLOEXEC));
            ResultFile file(target);
            file.write("new");
            const QByteArray temporary = QFile::encodeName(QFileInfo(file.temporaryPath()).fileName());
            std::atomic<bool> stop{false};
            std::thread swapper([&] {
                while (!stop.load()) {
                    ::renameat2(folderFd.get(), temporary.constData(), folderFd.get(), "decoy",
                                RENAME_EXCHANGE);
                }
            });
            try {
                file.Commit();
            } catch (const ResultFileError& e) {
                QCOMPARE(e.failure(), ResultFailure::ForeignLink);
                ++refused;
            }
            stop = true;
            swapper.join();
            const QByteArray now = ReadFile(target);
            QVERIFY2(now == "new" || now == "earlier", qPrintable(QString::number(i) + ": " + now));
        }
        qInfo("%d of 100 commits refused", refused);
    }

    // Whichever allocation fails while a result file is being set up, no descriptor and
    // no temporary file is left behind.
    void failedAllocationLeavesNothing() {
        QTemporaryDir dir;
        int failures = 0;
        bool made = false;
        for (int allowed = 0; allowed < 10000 && !made; ++allowed) {
            // A new folder each time: the sweep of leftovers runs once per folder.
            const QString folder = dir.filePath(QString::number(allowed));
            QVERIFY(QDir().mkpath(folder));
            const int descriptors = OpenDescriptors();
            try {
                allocationsLeft = allowed;
                ResultFile file(folder + "/a.png");
                allocationsLeft = -1;
                made = true;
            } catch (const std::bad_alloc&) {
                allocationsLeft = -1;
                ++failures;
            }
            QCOMPARE(OpenDescriptors(), descriptors);
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList());
        }
        QVERIFY(made);
        QVERIFY(failures > 0);
    }
};

QTEST_MAIN(ResultFileTest)
#include "result_file_test.moc"

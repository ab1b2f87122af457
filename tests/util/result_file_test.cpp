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
#include <thread>
#include <cstdlib>
#include <new>

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

    // Another user's link anywhere on the way to the output, in a folder they may write
    // to (with and without the sticky bit) or in a folder of theirs, leads nowhere: the
    // write is refused and the user's folder it points at keeps its file. The user's own
    // links, and root's, in the same places still work.
    void linksOnTheWayByTheirOwner_data() {
        QTest::addColumn<QString>("folderMode");
        QTest::addColumn<QString>("linkAt");
        QTest::addColumn<bool>("foreign");
        for (const char* mode : {"1777", "0777", "foreign 0755"}) {
            for (const char* at : {"output folder", "folder above it", "file name"}) {
                QTest::addRow("%s, another user's link at the %s", mode, at) << mode << at << true;
            }
            QTest::addRow("%s, own link at the output folder", mode)
                << mode << "output folder" << false;
        }
        QTest::newRow("own link to a folder through another user's link")
            << "1777" << "own link through theirs" << true;
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
        QVERIFY(QDir().mkpath(mine + "/photos"));
        QVERIFY(QDir().mkpath(shared));
        if (folderMode == "foreign 0755") {
            QVERIFY(::chown(QFile::encodeName(shared).constData(), 65534, 65534) == 0);
            ::chmod(QFile::encodeName(shared).constData(), 0755);
        } else {
            ::chmod(QFile::encodeName(shared).constData(), folderMode.toUInt(nullptr, 8));
        }
        const QString victim = WriteFile(mine + "/photos/a.png", "the user's own");
        auto link = [&](const QString& target, const QString& at) {
            return foreign ? AsAnotherUser({"ln", "-s", target, at}) : QFile::link(target, at);
        };
        QString output;
        if (linkAt == "output folder") {
            QVERIFY(link(mine + "/photos", shared + "/out"));
            output = shared + "/out/a.png";
        } else if (linkAt == "folder above it") {
            QVERIFY(link(mine, shared + "/out"));
            output = shared + "/out/photos/a.png";
        } else if (linkAt == "file name") {
            QVERIFY(link(victim, shared + "/a.png"));
            output = shared + "/a.png";
        } else {
            QVERIFY(AsAnotherUser({"ln", "-s", mine + "/photos", shared + "/theirs"}));
            QVERIFY(QFile::link(shared + "/theirs", dir.filePath("own")));
            output = dir.filePath("own/a.png");
        }
        const int descriptors = OpenDescriptors();
        try {
            ResultFile file(output);
            file.write("written");
            file.Commit();
            QVERIFY2(!foreign, "wrote through another user's link");
            QCOMPARE(ReadFile(victim), QByteArray("written"));
        } catch (const ResultFileError& e) {
            QVERIFY2(foreign, qPrintable(e.description()));
            QCOMPARE(e.failure(), ResultFailure::ForeignLink);
            QCOMPARE(e.number(), 70);
            QVERIFY2(e.reason().contains("belongs to another user"), qPrintable(e.reason()));
            QCOMPARE(ReadFile(victim), QByteArray("the user's own"));
            QCOMPARE(QDir(mine + "/photos").entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::NoDotAndDotDot),
                     QStringList{"a.png"});
        }
        QCOMPARE(OpenDescriptors(), descriptors);
        // The check a program makes on its output folder before a run says the same.
        const QString folder = QFileInfo(output).path();
        if (linkAt != "file name") {
            bool refused = false;
            try {
                CheckResultFolder(folder);
            } catch (const ResultFileError& e) {
                refused = e.failure() == ResultFailure::ForeignLink;
            }
            QCOMPARE(refused, foreign);
        }
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

    // A folder named by a descriptor the program holds (/proc/self/fd/N), the way a
    // program names a folder whose name it cannot spell, is the folder held, also after a
    // rename and with another folder under its old name.
    void descriptorPathReachesTheHeldFolder() {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("held")));
        const UniqueFd held(::open(QFile::encodeName(dir.filePath("held")).constData(),
                                   O_PATH | O_DIRECTORY | O_CLOEXEC));
        QVERIFY(held.valid());
        QVERIFY(QDir().rename(dir.filePath("held"), dir.filePath("moved")));
        QVERIFY(QDir().mkpath(dir.filePath("held")));
        ResultFile file(QStringLiteral("/proc/self/fd/%1/a.png").arg(held.get()));
        file.write("written");
        file.Commit();
        QCOMPARE(ReadFile(dir.filePath("moved/a.png")), QByteArray("written"));
        QVERIFY(!QFileInfo::exists(dir.filePath("held/a.png")));
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

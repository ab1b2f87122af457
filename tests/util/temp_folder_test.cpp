// SPDX-License-Identifier: MIT
#include "util/temp_folder.h"
#include "util/vb_error.h"
#include "util/writer_tag.h"
#include "support/test_environment.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A process id that no process holds any more.
qint64 EndedPid() {
    QProcess ended;
    ended.start("sh", {"-c", "echo $$"});
    ended.waitForFinished();
    return ended.readAllStandardOutput().trimmed().toLongLong();
}

QString WorkName(qint64 pid, const QByteArray& kernel = ThisWriter().writer.kernel) {
    ResultWriter writer = ThisWriter().writer;
    writer.pid = pid;
    writer.kernel = kernel;
    return QStringLiteral("stamp-") + QString::fromLatin1(WriterTag(writer, "ab12cd"));
}

}  // namespace

class TempFolderTest : public QObject {
    Q_OBJECT

private slots:
    void workFolderNamesItsRun() {
        QTemporaryDir dir;
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
        const QString made = MakeWorkFolder(dir.path(), "stamp");
        const QString name = QFileInfo(made).fileName();
        QVERIFY2(name.startsWith("stamp-"), qPrintable(name));
        const std::optional<ResultWriter> writer = ParseWriterTag(name.mid(6).toLatin1());
        QVERIFY(writer.has_value());
        QCOMPARE(writer->pid, qint64(::getpid()));
        QCOMPARE(QFileInfo(made).permissions() & 0x0777, QFileDevice::Permissions(0x0700));
        // A folder open to others is not where a run works.
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        bool refused = false;
        try {
            MakeWorkFolder(dir.path(), "stamp");
        } catch (const VbError&) {
            refused = true;
        }
        QVERIFY(refused);
    }

    // Only a work folder of an ended run of this machine goes, with what that run could
    // have made in it; what its links point at stays.
    void sweepTakesOnlyWhatEndedRunsMade_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("swept");
        const qint64 ended = EndedPid();
        QByteArray otherKernel = ThisWriter().writer.kernel;
        otherKernel[0] = otherKernel[0] == 'a' ? 'b' : 'a';
        QTest::newRow("ended run") << WorkName(ended) << "folder" << true;
        QTest::newRow("running program") << WorkName(::getppid()) << "folder" << false;
        QTest::newRow("this program") << WorkName(::getpid()) << "folder" << false;
        QTest::newRow("another machine") << WorkName(ended, otherKernel) << "folder" << false;
        QTest::newRow("another user's") << WorkName(ended) << "another user's" << false;
        QTest::newRow("a file of that name") << WorkName(ended) << "file" << false;
        QTest::newRow("a link of that name") << WorkName(ended) << "link" << false;
        QTest::newRow("lookalike: no tag") << "stamp-2024-notes" << "folder" << false;
        QTest::newRow("lookalike: a part more") << WorkName(ended) + "-x" << "folder" << false;
        QTest::newRow("lookalike: other prefix") << "job" + WorkName(ended).mid(5) << "folder"
                                                 << false;
    }
    void sweepTakesOnlyWhatEndedRunsMade() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, swept);
        if (!ThisWriter().known) {
            QSKIP("no boot id or pid namespace to be read here");
        }
        if (kind == "another user's" && ::geteuid() != 0) {
            QSKIP("needs root to make a folder of another user");
        }
        QTemporaryDir dir;
        const QString privateFolder = dir.filePath("velloran");
        const QString outside = dir.filePath("outside");
        QVERIFY(QDir().mkpath(outside + "/keep"));
        const QString kept = WriteFile(outside + "/photo.jpg", "the user's photo");
        WriteFile(outside + "/keep/inner.jpg", "inner");
        QVERIFY(QDir().mkdir(privateFolder));
        ::chmod(QFile::encodeName(privateFolder).constData(), 0700);
        const QString work = privateFolder + "/" + name;
        if (kind == "file") {
            WriteFile(work, "a file");
        } else if (kind == "link") {
            QVERIFY(QFile::link(outside, work));
        } else {
            // What a run makes: folders of its stampers with files, links to sources.
            QVERIFY(QDir().mkpath(work + "/job-1/deeper"));
            WriteFile(work + "/job-1/StampTmp.jpg", "tmp");
            WriteFile(work + "/job-1/deeper/x", "x");
            QVERIFY(QFile::link(kept, work + "/job-1/source.jpg"));
            QVERIFY(QFile::link(outside + "/keep", work + "/source-2"));
            if (kind == "another user's") {
                QVERIFY(::chown(QFile::encodeName(work).constData(), 65534, 65534) == 0);
            }
        }
        QCOMPARE(SweepEndedWorkFolders(privateFolder, "stamp"), swept ? 1 : 0);
        QCOMPARE(QFileInfo::exists(work) || QFileInfo(work).isSymLink(), !swept);
        QCOMPARE(ReadFile(kept), QByteArray("the user's photo"));
        QCOMPARE(ReadFile(outside + "/keep/inner.jpg"), QByteArray("inner"));
    }

    // Inside an ended run's folder, a file that run could not have made stays, and so does
    // the folder that holds it; the rest goes.
    void sweepKeepsWhatTheRunCouldNotHaveMade() {
        if (!ThisWriter().known || ::geteuid() != 0) {
            QSKIP("needs root to make a file of another user, and a readable boot id");
        }
        QTemporaryDir dir;
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
        const QString work = dir.filePath(WorkName(EndedPid()));
        QVERIFY(QDir().mkpath(work + "/job-1"));
        WriteFile(work + "/job-1/mine", "mine");
        const QString theirs = WriteFile(work + "/job-1/theirs", "theirs");
        QVERIFY(::chown(QFile::encodeName(theirs).constData(), 65534, 65534) == 0);
        QCOMPARE(SweepEndedWorkFolders(dir.path(), "stamp"), 0);
        QCOMPARE(QDir(work + "/job-1").entryList(QDir::Files), QStringList{"theirs"});
        // A run's own end removes its folder the same way.
        const QString own = MakeWorkFolder(dir.path(), "stamp");
        WriteFile(own + "/a", "a");
        QVERIFY(QFile::link(theirs, own + "/link"));
        RemoveWorkFolder(own);
        QVERIFY(!QFileInfo::exists(own));
        QCOMPARE(ReadFile(theirs), QByteArray("theirs"));
    }
};

QTEST_MAIN(TempFolderTest)
#include "temp_folder_test.moc"

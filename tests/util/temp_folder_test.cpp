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

// A work folder's name for a run of the given process.
QString WorkName(qint64 pid, bool otherMachine = false) {
    ResultWriter writer = ThisWriter().writer;
    writer.pid = pid;
    if (otherMachine) {
        writer.kernel[0] = writer.kernel[0] == 'a' ? 'b' : 'a';
    }
    return QStringLiteral("stamp-") + QString::fromLatin1(WriterTag(writer, "ab12cd"));
}

}  // namespace

class TempFolderTest : public QObject {
    Q_OBJECT

private slots:
    // A run's own folder names it and is removed at its end; a folder open to others is
    // no place to make one.
    void workFolderOfThisRun() {
        QTemporaryDir dir;
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
        const QString made = MakeWorkFolder(dir.path(), "stamp");
        QCOMPARE(ParseWriterTag(QFileInfo(made).fileName().mid(6).toLatin1())->pid,
                 qint64(::getpid()));
        WriteFile(made + "/a");
        RemoveWorkFolder(made);
        QVERIFY(!QFileInfo::exists(made));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        QVERIFY_THROWS_EXCEPTION(VbError, MakeWorkFolder(dir.path(), "stamp"));
    }

    // Only the work folder of an ended run of this machine goes, with what that run could
    // have made in it; what its links point at stays, and so does anything another user
    // owns, with the folder holding it.
    void sweepTakesOnlyWhatEndedRunsMade_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("swept");
        QProcess ended;
        ended.start("sh", {"-c", "echo $$"});
        ended.waitForFinished();
        const qint64 pid = ended.readAllStandardOutput().trimmed().toLongLong();
        QTest::newRow("ended run") << WorkName(pid) << "folder" << true;
        QTest::newRow("running program") << WorkName(::getppid()) << "folder" << false;
        QTest::newRow("another machine") << WorkName(pid, true) << "folder" << false;
        QTest::newRow("another user's") << WorkName(pid) << "theirs" << false;
        QTest::newRow("holding another user's file") << WorkName(pid) << "holds theirs" << false;
        QTest::newRow("a link of that name") << WorkName(pid) << "link" << false;
        QTest::newRow("lookalike") << "stamp-2024-notes" << "folder" << false;
        QTest::newRow("a part more") << WorkName(pid) + "-x" << "folder" << false;
    }
    void sweepTakesOnlyWhatEndedRunsMade() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, swept);
        if (!ThisWriter().known || (kind.contains("theirs") && ::geteuid() != 0)) {
            QSKIP("needs a readable boot id, and root to make files of another user");
        }
        QTemporaryDir dir;
        const QString outside = WriteFile(dir.filePath("photo.jpg"), "the user's photo");
        const QString parent = dir.filePath("velloran");
        QVERIFY(QDir().mkdir(parent));
        ::chmod(QFile::encodeName(parent).constData(), 0700);
        const QString work = parent + "/" + name;
        if (kind == "link") {
            QVERIFY(QFile::link(dir.path(), work));
        } else {
            QVERIFY(QDir().mkpath(work + "/job-1/deeper"));
            WriteFile(work + "/job-1/deeper/StampTmp.jpg");
            QVERIFY(QFile::link(outside, work + "/job-1/source.jpg"));
            QVERIFY(QFile::link(dir.path(), work + "/source-2"));
        }
        const QString owned = kind == "link"     ? outside
                              : kind == "theirs" ? work
                                                 : work + "/job-1/deeper/StampTmp.jpg";
        if (kind.contains("theirs")) {
            QVERIFY(::chown(QFile::encodeName(owned).constData(), 65534, 65534) == 0);
        }
        QCOMPARE(SweepEndedWorkFolders(parent, "stamp"), swept ? 1 : 0);
        QCOMPARE(QFileInfo(work).exists() || QFileInfo(work).isSymLink(), !swept);
        QCOMPARE(QFileInfo::exists(owned), !swept);
        QCOMPARE(ReadFile(outside), QByteArray("the user's photo"));
    }
};

QTEST_MAIN(TempFolderTest)
#include "temp_folder_test.moc"

// SPDX-License-Identifier: MIT
// Runs into a folder others may write to without the sticky bit, and runs that share a
// folder from two pid namespaces: no write goes through another user's link, no link
// stands under an output name, no file the program did not write is removed, and every
// copy that could not be made safely is reported.
#include "run_fixture.h"
#include "support/test_images.h"
#include "imageio/result_temp_name.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The outputs of every road: the converter's formats, the JPEG encoder, the bitmap writer.
const QStringList kOutputs{"a.png", "b.gif", "c.tif", "d.ico", "e.jpg", "f.bmp"};
const QList<QByteArray> kFormats{"png", "gif", "tiff", "ico", "jpeg", "bmp"};

QByteArray FormatOf(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.format();
}

// The md5 of every file under the folders, by path.
QMap<QString, QByteArray> Fingerprints(const QStringList& folders) {
    QMap<QString, QByteArray> prints;
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            prints[path] = QCryptographicHash::hash(ReadFile(path), QCryptographicHash::Md5);
        }
    }
    return prints;
}

// Adds one source per output, large enough that the converter's road takes a while.
void AddSources(RunFixture& f, int side) {
    for (qsizetype i = 0; i < kOutputs.size(); ++i) {
        const QString path = f.sources + "/" + kOutputs[i];
        // Qt writes no GIF: a GIF source is a JPEG under that name, which the loader reads
        // by content.
        const QByteArray format = kFormats[i] == "gif" ? "jpeg" : kFormats[i];
        QVERIFY(NoisyImage(side, side).save(path, format.constData()));
        f.form.ListView1->Add(path);
    }
}

// The errors that name an output path.
QStringList ErrorsAbout(const QStringList& errors, const QString& path) {
    return errors.filter("\"" + path + "\"");
}

// The test binary that `unshare --pid --fork sh -c ...` started: the child of its child.
qint64 RunOf(qint64 unsharePid) {
    auto childOf = [](qint64 pid) -> qint64 {
        for (int tries = 0; tries < 1000; ++tries) {
            const QByteArray children =
                ReadFile(QStringLiteral("/proc/%1/task/%1/children").arg(pid)).trimmed();
            if (!children.isEmpty()) {
                return children.split(' ').last().toLongLong();
            }
            QTest::qWait(10);
        }
        return 0;
    };
    const qint64 shell = childOf(unsharePid);
    // The shell's last child is the binary, once both /bin/true have ended.
    for (int tries = 0; shell > 0 && tries < 1000; ++tries) {
        const qint64 child = childOf(shell);
        if (child > 0 &&
            ReadFile(QStringLiteral("/proc/%1/cmdline").arg(child)).contains("instanceOfTwo")) {
            return child;
        }
        QTest::qWait(10);
    }
    return 0;
}

// The run's folders open to another user; the test binary's own folders stay as they are.
struct OpenRunFixture : RunFixture {
    OpenRunFixture() { ::chmod(QFile::encodeName(t.root()).constData(), 0755); }
};

}  // namespace

class SharedFolderTest : public QObject {
    Q_OBJECT

private slots:
    // Another user swaps every temporary file for a link to a private file of the user
    // the moment it sees it made, read, written or closed. Whatever the moment, nothing
    // is written through the link, nothing of theirs takes an output name, and each copy
    // either comes out whole in its format or is reported.
    void swappedTemporaryFilesNeverWriteThroughLinks_data() {
        QTest::addColumn<QStringList>("events");
        QTest::newRow("as soon as made") << QStringList{"create"};
        QTest::newRow("when opened") << QStringList{"open"};
        QTest::newRow("when read") << QStringList{"access"};
        QTest::newRow("when written") << QStringList{"modify"};
        QTest::newRow("when closed") << QStringList{"close"};
    }
    void swappedTemporaryFilesNeverWriteThroughLinks() {
        QFETCH(QStringList, events);
        if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty()) {
            QSKIP("needs root and setpriv to act as another user");
        }
        OpenRunFixture f;
        const QString shared = f.t.root() + "/shared";
        const QString outside = f.t.root() + "/outside";
        QDir().mkpath(shared);
        QDir().mkpath(outside);
        ::chmod(QFile::encodeName(shared).constData(), 0777);
        // A photo: a converter reading through the link would take it for its input.
        const QString victim =
            WriteFile(outside + "/victim.jpg", Encoded(NoisyImage(64, 48), "jpeg"));
        ::chmod(QFile::encodeName(victim).constData(), 0600);
        AddSources(f, 1000);
        f.form.Text1->setText(shared);
        const QMap<QString, QByteArray> before = Fingerprints({outside, f.sources});

        // The build folder need not be open to that user: the swapper runs from here.
        const QString swapperPath = f.t.root() + "/link_swapper";
        QVERIFY(QFile::copy(LINK_SWAPPER_PATH, swapperPath));
        QFile::setPermissions(swapperPath, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                               QFileDevice::ReadOther | QFileDevice::ExeOther);
        QProcess swapper;
        swapper.start("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                             "--", swapperPath, shared, victim} +
                                     events);
        QVERIFY(swapper.waitForReadyRead(30000));
        QCOMPARE(swapper.readLine().trimmed(), QByteArray("ready"));
        f.form.PushButton2->click();
        swapper.closeWriteChannel();
        QVERIFY(swapper.waitForFinished(30000));
        const QByteArray swaps = swapper.readAllStandardOutput();

        QCOMPARE(Fingerprints({outside, f.sources}), before);
        const QStringList errors = f.dialogs.errors();
        for (qsizetype i = 0; i < kOutputs.size(); ++i) {
            const QString output = shared + "/" + kOutputs[i];
            const QFileInfo info(output);
            QVERIFY2(!info.isSymLink(), qPrintable(output));
            if (ErrorsAbout(errors, output).isEmpty()) {
                QVERIFY2(info.isFile() && info.ownerId() == ::geteuid(), qPrintable(output));
                QCOMPARE(FormatOf(output), kFormats[i]);
            } else {
                QVERIFY2(ErrorsAbout(errors, output).first().contains("another user"),
                         qPrintable(ErrorsAbout(errors, output).first()));
            }
        }
        QVERIFY2(errors.size() <= kOutputs.size(), qPrintable(errors.join("\n")));
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
        // A file made is swapped long before the converter's slow road ends: the attack
        // did happen, and was reported.
        if (events.contains("create")) {
            QVERIFY2(swaps.contains("swapped "), "the other user never swapped a file");
            QVERIFY(!errors.isEmpty());
        }
    }

    // Another user's link typed as the output folder, in a folder they may write to or in
    // one of theirs, points at a private folder of the user holding files of the outputs'
    // names: every road refuses it with the link named, and the folder keeps every byte.
    // The user's own link there takes the copies.
    void anotherUsersFolderLinkIsNotWrittenThrough_data() {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("foreign");
        QTest::newRow("1777, theirs") << 01777 << true;
        QTest::newRow("0777, theirs") << 0777 << true;
        QTest::newRow("their own 0755, theirs") << 0755 << true;
        QTest::newRow("0777, own") << 0777 << false;
    }
    void anotherUsersFolderLinkIsNotWrittenThrough() {
        QFETCH(int, folderMode);
        QFETCH(bool, foreign);
        if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty()) {
            QSKIP("needs root and setpriv to act as another user");
        }
        OpenRunFixture f;
        const QString shared = f.t.root() + "/shared";
        const QString mine = f.t.root() + "/mine";
        QDir().mkpath(shared);
        QDir().mkpath(mine);
        ::chmod(QFile::encodeName(mine).constData(), 0700);
        ::chmod(QFile::encodeName(shared).constData(), mode_t(folderMode));
        if (folderMode == 0755) {
            QVERIFY(::chown(QFile::encodeName(shared).constData(), 65534, 65534) == 0);
        }
        for (const QString& name : kOutputs) {
            WriteFile(mine + "/" + name, "the user's own " + name.toUtf8());
        }
        const QString link = shared + "/out";
        QVERIFY(foreign ? QProcess::execute("setpriv", {"--reuid=65534", "--regid=65534",
                                                        "--clear-groups", "--", "ln", "-s",
                                                        mine, link}) == 0
                        : QFile::link(mine, link));
        AddSources(f, 64);
        f.form.Text1->setText(link);
        const QMap<QString, QByteArray> before = Fingerprints({mine, f.sources});
        f.form.PushButton2->click();

        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), foreign ? kOutputs.size() : 0);
        QCOMPARE(errors.filter("\"" + link + "\", a link that belongs to another user").size(),
                 errors.size());
        for (qsizetype i = 0; i < kOutputs.size(); ++i) {
            QCOMPARE(FormatOf(mine + "/" + kOutputs[i]), foreign ? "" : kFormats[i]);
        }
        if (foreign) {
            QCOMPARE(Fingerprints({mine, f.sources}), before);
        }
    }

    // Names of the user that look like temporary results survive a run; only a leftover of
    // an ended run of this machine and namespace goes.
    void lookalikeNamesSurviveARun() {
        if (!ThisWriter().known) {
            QSKIP("no boot id or pid namespace to be read here");
        }
        RunFixture f;
        f.add("a.png", "PNG");
        QProcess ended;
        ended.start("sh", {"-c", "echo $$"});
        ended.waitForFinished();
        const qint64 endedPid = ended.readAllStandardOutput().trimmed().toLongLong();
        ResultWriter foreign = ThisWriter().writer;
        foreign.pid = endedPid;
        foreign.kernel[0] = foreign.kernel[0] == 'a' ? 'b' : 'a';
        ResultWriter otherNamespace = ThisWriter().writer;
        otherNamespace.pid = endedPid;
        otherNamespace.pidNamespace += 1;
        ResultWriter abandoned = ThisWriter().writer;
        abandoned.pid = endedPid;
        QStringList kept{".velloran-2024-notes.txt",
                         ".velloran-2024-my-diary.odt",
                         ".velloran-4000000",
                         ".velloran-31999",
                         ".velloran-77777-holiday.png",
                         ".velloran- 2024-x",
                         QString::fromLatin1(ResultTempName(foreign, "abc123", "png")),
                         QString::fromLatin1(ResultTempName(otherNamespace, "abc123", "png"))};
        for (const QString& name : kept) {
            WriteFile(f.output + "/" + name, "the user's own");
        }
        WriteFile(f.output + "/" + ResultTempName(abandoned, "abc123", "png"), "BM half");
        f.form.PushButton2->click();

        QCOMPARE(f.dialogs.errors(), QStringList());
        for (const QString& name : kept) {
            QCOMPARE(ReadFile(f.output + "/" + name), QByteArray("the user's own"));
        }
        kept << "a.png";
        kept.sort();
        QCOMPARE(QDir(f.output).entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);
    }

    // Two runs in two pid namespaces write into one folder at once: neither takes the
    // other's file in progress for a leftover, and both copies come out.
    void runsInTwoPidNamespacesBothFinish() {
        if (::geteuid() != 0 || QProcess::execute("unshare", {"--pid", "--fork", "true"}) != 0) {
            QSKIP("needs root and unshare to make pid namespaces");
        }
        RunFixture f;
        QStringList slow;
        const QStringList slowNames{"s1.gif", "s2.png"};
        for (const QString& name : slowNames) {
            QVERIFY(NoisyImage(1500, 1500).save(f.sources + "/" + name, "jpeg"));
            slow << f.sources + "/" + name;
        }
        const QString quick = WriteTestImage(f.sources + "/q.png", 160, 120, "png");
        // Each instance is this test binary running instanceOfTwo(). The first one's shell
        // uses up pids first, so its writer's pid is one that the second namespace has not
        // handed out: a sweep judging by the pid alone would take its files for leftovers.
        auto start = [&](QProcess& process, const QStringList& sources, const QString& shell) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("VELLORAN_INSTANCE_OUTPUT", f.output);
            env.insert("VELLORAN_INSTANCE_SOURCES", sources.join('\n'));
            process.setProcessEnvironment(env);
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start("unshare", {"--pid", "--fork", "sh", "-c", shell,
                                      QCoreApplication::applicationFilePath()});
        };
        QProcess first;
        QProcess second;
        start(first, slow,
              "i=0; while [ $i -lt 60 ]; do /bin/true; i=$((i + 1)); done; "
              "\"$0\" instanceOfTwo; exit $?");
        // The first is held still while it has files in progress in the folder, so the
        // second's whole run, its sweep of leftovers included, sees them.
        QVERIFY(first.waitForStarted());
        const qint64 firstRun = RunOf(first.processId());
        QVERIFY(firstRun > 0);
        bool held = false;
        for (int tries = 0; tries < 6000 && !held && first.state() != QProcess::NotRunning;
             ++tries) {
            ::kill(pid_t(firstRun), SIGSTOP);
            // Two files: the bitmap and the converter's output, which takes the output name.
            held =
                QDir(f.output).entryList({".velloran-*"}, QDir::Files | QDir::Hidden).size() >= 2;
            if (!held) {
                ::kill(pid_t(firstRun), SIGCONT);
                QTest::qWait(10);
            }
        }
        QVERIFY(held);
        start(second, {quick}, "\"$0\" instanceOfTwo; exit $?");
        const bool secondEnded = second.waitForFinished(120000);
        ::kill(pid_t(firstRun), SIGCONT);
        QVERIFY(secondEnded);
        QVERIFY(first.waitForFinished(120000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.exitCode(), 0);
        for (const QString& name : slowNames) {
            QCOMPARE(FormatOf(f.output + "/" + name), QFileInfo(name).suffix().toLatin1());
        }
        QCOMPARE(FormatOf(f.output + "/q.png"), QByteArray("png"));
    }

    // One of the two runs above; skipped when run on its own.
    void instanceOfTwo() {
        const QString output = qEnvironmentVariable("VELLORAN_INSTANCE_OUTPUT");
        if (output.isEmpty()) {
            QSKIP("one half of runsInTwoPidNamespacesBothFinish");
        }
        RunFixture f;
        for (const QString& source :
             qEnvironmentVariable("VELLORAN_INSTANCE_SOURCES").split('\n')) {
            f.form.ListView1->Add(source);
        }
        f.form.Text1->setText(output);
        f.form.PushButton2->click();
        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
    }
};

QTEST_MAIN(SharedFolderTest)
#include "shared_folder_test.moc"

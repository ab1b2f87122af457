// SPDX-License-Identifier: MIT
// Runs at the edges of memory and disk: the largest pictures are written in every format,
// and running out of memory or room is reported once, as an error of the entry it hit.
#include "run_fixture.h"
#include "support/jpeg_rows.h"
#include "support/test_images.h"
#include "engine/engine_start.h"

#include <QImageReader>
#include <QProcess>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include <sys/mount.h>
#include <sys/resource.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// A JPEG of one colour written a row at a time: a picture of any size in a small file,
// made without ever holding its pixels.
void WriteSolidJpeg(const QString& path, int side) {
    QVERIFY(WriteJpegRows(QFile::encodeName(path).constData(), {side, side, false, 75, false, {}},
                          [side](int, JSAMPLE* row) {
                              for (int x = 0; x < side * 3; x += 3) {
                                  row[x] = 40;
                                  row[x + 1] = 90;
                                  row[x + 2] = 160;
                              }
                          }));
}

// A tmpfs of `size` mounted for one test.
struct SmallDisk {
    SmallDisk(const QString& at, const QByteArray& size) : path(at) {
        QDir().mkpath(at);
        mounted = ::mount("tmpfs", QFile::encodeName(at).constData(), "tmpfs", 0,
                          ("mode=0700,size=" + size).constData()) == 0;
    }
    ~SmallDisk() {
        if (mounted) {
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
        }
    }
    QString path;
    bool mounted = false;
};

// The address space this process has mapped now, in bytes.
qint64 AddressSpaceBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return statm.readAll().split(' ').value(0).toLongLong() * qint64(sysconf(_SC_PAGESIZE));
}

constexpr char kChildVariable[] = "VELLORAN_TEST_OUT_OF_MEMORY_CHILD";

}  // namespace

class ResourceLimitsTest : public QObject {
    Q_OBJECT

private slots:
    // The limit the program runs with.
    void initTestCase() { StartEngine(); }

    // Every picture the program accepts it can write: 12600 x 12600 pixels (635 MB decoded)
    // stamped and written as PNG through the converter, whose input is a 476 MB bitmap.
    void largestPicturesAreWrittenAsPng() {
        RunFixture f;
        constexpr int kSide = 12600;
        // JPEG content under a PNG name: the run converts it for loading as it would a PNG,
        // and one colour keeps every file of the road small and fast to code.
        const QString source = f.sources + "/large.png";
        WriteSolidJpeg(source, kSide);
        f.form.ListView1->Add(source);
        f.form.PushButton2->click();

        QCOMPARE(f.dialogs.errors(), QStringList());
        QImageReader written(f.output + "/large.png");
        written.setDecideFormatFromContent(true);
        QCOMPARE(written.format(), QByteArray("png"));
        QCOMPARE(written.size(), QSize(kSide, kSide));
    }

    // With no room in the temporary folder for the converter, each PNG or TIFF entry is
    // reported once, and the entries that need no converter are written.
    void fullTemporaryFolderReportsEachEntryOnce() {
        RunFixture f;
        const SmallDisk temp(f.t.root() + "/fulltemp", "16k");
        if (!temp.mounted) {
            QSKIP("needs root to mount a small file system");
        }
        f.form.env.tempFolder = [path = temp.path] { return path; };
        f.add("a.png", "PNG");
        f.add("b.jpg", "JPG");
        f.add("c.tif", "TIFF");
        f.form.PushButton2->click();

        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), 2);
        for (const QString& error : errors) {
            QVERIFY2(error.contains("the disk is full"), qPrintable(error));
        }
        QVERIFY(QFile::exists(f.output + "/b.jpg"));
        QVERIFY(!QFile::exists(f.output + "/a.png"));
        QVERIFY(!QFile::exists(f.output + "/c.tif"));
        QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Done."));
    }

    // Out of memory is an error of the entry that ran out, in the window's thread as in
    // the workers decoding ahead; the run goes on. Run in a child held to a little more
    // address space than it has (the address sanitizer reserves terabytes of it).
    void outOfMemoryIsAnErrorOfTheEntry_data() {
        QTest::addColumn<int>("workers");
        QTest::newRow("window's thread alone") << 1;
        QTest::newRow("one worker") << 2;
        QTest::newRow("three workers") << 4;
    }
    void outOfMemoryIsAnErrorOfTheEntry() {
        QFETCH(int, workers);
        if (kAddressSanitizer) {
            QSKIP("the address sanitizer cannot run in a limited address space");
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildVariable, QStringLiteral("1"));
        env.insert(QStringLiteral("VELLORAN_THREADS"), QString::number(workers));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {"outOfMemoryChild"});
        QVERIFY(child.waitForFinished(120000));
        const QByteArray out = child.readAllStandardOutput();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 out.constData());
        QVERIFY2(out.contains("PASS   : ResourceLimitsTest::outOfMemoryChild"), out.constData());
    }

    // The child's part: a run over a picture whose file cannot be held, between two that can.
    void outOfMemoryChild() {
        if (!qEnvironmentVariableIsSet(kChildVariable)) {
            QSKIP("run by outOfMemoryIsAnErrorOfTheEntry");
        }
        RunFixture f;
        f.add("a.jpg", "JPG");
        // A small picture followed by 200 MB: its header promises little, its bytes do not fit.
        const QString huge = f.source("b.jpg", "JPG");
        {
            QFile file(huge);
            QVERIFY(file.open(QIODevice::Append));
            QVERIFY(file.resize(file.size() + (qint64(200) << 20)));
        }
        f.form.ListView1->Add(huge);
        f.add("c.jpg", "JPG");
        // Room for the run's own work, never for 200 MB more.
        const rlim_t room = rlim_t(AddressSpaceBytes() + (qint64(96) << 20));
        const rlimit limit{room, room};
        QCOMPARE(::setrlimit(RLIMIT_AS, &limit), 0);
        f.form.PushButton2->click();

        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("Out of memory") || errors[0].contains("too large"),
                 qPrintable(errors[0]));
        QVERIFY(QFile::exists(f.output + "/a.jpg"));
        QVERIFY(!QFile::exists(f.output + "/b.jpg"));
        QVERIFY(QFile::exists(f.output + "/c.jpg"));
    }
};

QTEST_MAIN(ResourceLimitsTest)
#include "resource_limits_test.moc"

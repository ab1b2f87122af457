// SPDX-License-Identifier: MIT
// Runs as an attacker or an unlucky user meets them: nothing is lost, nothing planted used.
#include "batch/gif_bytes.h"
#include "run_fixture.h"
#include "support/test_images.h"
#include "imageio/result_temp_name.h"
#include "util/temp_folder.h"

#include <QImageReader>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray FormatOf(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.format();
}

mode_t ModeOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

#define SKIP_UNLESS_ROOT()                                                                         \
    if (::geteuid() != 0) QSKIP("needs root and setpriv to act as another user")

// Runs a command as the unprivileged user 65534, as another local user would.
bool AsNobody(const QStringList& command) {
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    return !setpriv.isEmpty() &&
           QProcess::execute(setpriv,
                             QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--"} +
                                 command) == 0;
}

// A folder anyone may write to, as /tmp is: sticky, mode 1777.
QString SharedFolder(const QString& path) {
    QDir().mkpath(path);
    ::chmod(QFile::encodeName(path).constData(), 01777);
    return path;
}

// A tmpfs mounted for one test; unmounted before the test's folders go.
struct Tmpfs {
    Tmpfs(const QString& at, unsigned long flags, const QByteArray& options) : path(at) {
        QDir().mkpath(at);
        mounted = ::mount("tmpfs", QFile::encodeName(at).constData(), "tmpfs", flags,
                          options.constData()) == 0;
    }
    ~Tmpfs() {
        if (mounted) {
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
        }
    }
    QString path;
    bool mounted = false;
};

// A fixture whose folders another local user can reach.
struct OpenRunFixture : RunFixture {
    OpenRunFixture() { ::chmod(QFile::encodeName(t.root()).constData(), 0755); }
};

// True when the folder holds exactly these names, hidden ones included.
bool HasNames(const QString& folder, QStringList names) {
    names.sort();
    const QStringList held = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    if (held != names) {
        qWarning() << "folder holds" << held;
    }
    return held == names;
}

}  // namespace

class RunSafetyTest : public QObject {
    Q_OBJECT

private slots:
    // Replacing the sources as agreed: every road where the output conversion fails keeps them.
    void failedConversionsKeepTheOriginals_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::newRow("no dot") << "photo" << QByteArray("JPG")
                                << "the converter cannot tell the format from the name";
        QTest::newRow("webp") << "pic.webp" << QByteArray("JPG")
                              << "the converter cannot tell the format from the name";
        QTest::newRow("bmp data named pcz") << "scan.pcz" << QByteArray("BMP")
                                            << "the converter cannot tell the format from the name";
        QTest::newRow("png data named pcz")
            << "shot.pcz" << QByteArray("PNG")
            << "it is not a picture in a format that can be read";
        QTest::newRow("converter cannot start")
            << "gone.png" << QByteArray("PNG") << "the converter could not be started";
    }
    void failedConversionsKeepTheOriginals() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        RunFixture f;
        const QString original = f.source(name, content.constData());
        const QString ok = f.source("ok.jpg", "JPG");
        const QByteArray before = ReadFile(original);
        f.form.ListView1->Add(ok);
        f.form.ListView1->Add(original);
        f.form.Text1->setText(f.sources);
        f.dialogs.buttonAnswers.enqueue(Dialogs::Button::Yes);
        // The converter vanishes whenever the run yields, before the output conversion starts.
        QTimer remover;
        if (name == "gone.png") {
            QObject::connect(&remover, &QTimer::timeout,
                             [&] { QFile::remove(f.t.tempFolder() + "/velloran-convert"); });
            remover.start(0);
        }
        f.form.PushButton2->click();
        remover.stop();

        QCOMPARE(ReadFile(original), before);
        QVERIFY(HasNames(f.sources, {"ok.jpg", name}));
        QCOMPARE(FormatOf(ok), QByteArray("jpeg"));
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY2(f.dialogs.errors().first().contains(error),
                 qPrintable(f.dialogs.errors().first()));
        QVERIFY(!f.dialogs.errors().first().contains("--help"));
        QVERIFY(!f.dialogs.errors().first().contains(".velloran-"));
    }

    // velloran-<uid> in TEMP must be the user's own closed folder, else it is refused as it is.
    void temporaryFolderIsPrivateOrRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("refused");
        QTest::newRow("TEMP is a shared folder like /tmp") << "shared" << false;
        QTest::newRow("open to others") << "open" << true;
        QTest::newRow("a link to a folder of the user") << "link" << true;
        QTest::newRow("owned by another user") << "foreign" << true;
    }
    void temporaryFolderIsPrivateOrRefused() {
        QFETCH(QString, kind);
        QFETCH(bool, refused);
        OpenRunFixture f;
        const QString temp = SharedFolder(f.t.root() + "/tmp");
        const QString own = temp + "/velloran-" + QString::number(::getuid());
        if (kind == "open") {
            QDir().mkdir(own);
            ::chmod(QFile::encodeName(own).constData(), 0777);
        } else if (kind == "link") {
            QFile::link(f.t.tempFolder(), own);
        } else if (kind == "foreign") {
            if (::geteuid() != 0 || !AsNobody({"mkdir", "-m", "700", own})) {
                QSKIP("needs root and setpriv to act as another user");
            }
        }
        const mode_t before = ModeOf(own);
        qputenv("TEMP", QFile::encodeName(temp));
        f.form.env.tempFolder = [] { return PrivateTempFolder(); };
        f.add("a.png", "PNG");
        f.add("b.ico", "ICO");
        f.form.PushButton2->click();
        f.form.PushButton5->click();
        qunsetenv("TEMP");

        QCOMPARE(ModeOf(temp), mode_t(01777));
        QVERIFY(!QFile::exists("/velloran-convert"));
        QVERIFY(!QFile::exists("/StampTmp.jpg"));
        const QStringList errors = f.dialogs.errors();
        if (!refused) {
            QCOMPARE(errors, QStringList());
            QCOMPARE(ModeOf(own), mode_t(0700));
            QCOMPARE(FormatOf(f.output + "/a.png"), QByteArray("png"));
            QCOMPARE(FormatOf(f.output + "/b.ico"), QByteArray("ico"));
            return;
        }
        QCOMPARE(ModeOf(own), before);
        QCOMPARE(errors.size(), 3);
        QVERIFY2(errors.at(0).startsWith("The temporary folder " + own) &&
                     errors.at(0).contains("at line 142"),
                 qPrintable(errors.at(0)));
        QVERIFY(errors.at(1).contains("at line 180"));
        QVERIFY(errors.at(2).contains("PushButton5_Click at line 128"));
        QVERIFY(HasNames(f.output, {}));
    }

    // What another user left under the converter's name is never run nor written through.
    void plantedConverterNeverRuns_data() {
        QTest::addColumn<QString>("planted");
        QTest::newRow("a program of another user") << "program";
        QTest::newRow("a dangling link") << "dangling";
        QTest::newRow("a link to a file of the user") << "victim";
    }
    void plantedConverterNeverRuns() {
        QFETCH(QString, planted);
        SKIP_UNLESS_ROOT();
        OpenRunFixture f;
        const QString temp = SharedFolder(f.t.root() + "/was-open");
        const QString converter = temp + "/velloran-convert";
        const QString marker = f.t.root() + "/ran";
        const QString victim = WriteFile(f.t.root() + "/victim", "precious");
        const QString pointee = temp + "/made-through-link";
        if (planted == "program") {
            const QString script =
                WriteFile(f.t.root() + "/evil.sh", "#!/bin/sh\ntouch " + marker.toUtf8() + "\n");
            QVERIFY(AsNobody({"install", "-m", "755", script, converter}));
        } else {
            QVERIFY(AsNobody({"ln", "-s", planted == "victim" ? victim : pointee, converter}));
        }
        f.form.env.tempFolder = [temp] { return temp; };
        f.add("a.png", "PNG");
        f.form.PushButton2->click();

        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(FormatOf(f.output + "/a.png"), QByteArray("png"));
        QVERIFY(!QFile::exists(marker));
        QCOMPARE(ReadFile(victim), QByteArray("precious"));
        QVERIFY(!QFile::exists(pointee));
        QVERIFY(!QFileInfo::exists(converter));
    }

    // In a shared output folder, a link of another user named like an output is not followed.
    void linksOfOthersInASharedOutputFolderAreRefused() {
        SKIP_UNLESS_ROOT();
        OpenRunFixture f;
        const QString shared = SharedFolder(f.t.root() + "/shared");
        f.form.Text1->setText(shared);
        QStringList victims;
        for (const char* name : {"a.jpg", "b.png", "c.bmp"}) {
            f.add(name, QByteArray(name).right(3).toUpper().constData());
            const QString victim = WriteFile(f.t.root() + "/victim-" + name, "precious");
            ::chmod(QFile::encodeName(victim).constData(), 0600);
            victims << victim;
            QVERIFY(AsNobody({"ln", "-s", victim, shared + "/" + name}));
        }
        f.form.PushButton2->click();

        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), 3);
        QCOMPARE(errors.filter("it is a link that belongs to another user").size(), 3);
        for (const QString& victim : victims) {
            QCOMPARE(ReadFile(victim), QByteArray("precious"));
            QVERIFY(QFileInfo(shared + "/" + QFileInfo(victim).fileName().mid(7)).isSymLink());
        }
        QVERIFY(HasNames(shared, {"a.jpg", "b.png", "c.bmp"}));
    }

    // A 255-byte name replaces its file, never holds a bitmap; old temporary files go.
    void longestNamesReplaceExistingFiles_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("jpg") << "jpg" << QByteArray("jpeg");
        QTest::newRow("bmp") << "bmp" << QByteArray("bmp");
        QTest::newRow("png through the converter") << "png" << QByteArray("png");
    }
    void longestNamesReplaceExistingFiles() {
        QFETCH(QString, extension);
        QFETCH(QByteArray, format);
        RunFixture f;
        const QString name = QString(254 - extension.size(), QLatin1Char('n')) + "." + extension;
        const QString output = f.output + "/" + name;
        QCOMPARE(QFile::encodeName(name).size(), 255);
        // Large enough for the watcher below to see the converter's road at work.
        f.add(name, format == "jpeg" ? "JPG" : format.toUpper().constData(),
              format == "png" ? QSize(1500, 1500) : QSize(160, 120));
        WriteFile(output, "old");
        QProcess ended;  // a process id that no process holds any more
        ended.start("sh", {"-c", "echo $$"});
        ended.waitForFinished();
        ResultWriter gone = ThisWriter().writer;
        gone.pid = ended.readAllStandardOutput().trimmed().toLongLong();
        WriteFile(f.output + "/" + ResultTempName(gone, "abc123", "png"), "BM half a bitmap");
        bool bitmapSeen = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout,
                         [&] { bitmapSeen |= ReadFile(output).startsWith("BM"); });
        watcher.start(0);
        f.form.PushButton2->click();
        watcher.stop();
        QCOMPARE(f.dialogs.errors(), QStringList());
        QVERIFY(!bitmapSeen || format == "bmp");
        QCOMPARE(FormatOf(output), format);
        QVERIFY(HasNames(f.output, {name}));
    }

    // A full disk is named as such, and the file that stood under the name stays.
    void fullDiskKeepsTheEarlierFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("side");
        QTest::addColumn<QByteArray>("size");
        QTest::newRow("jpeg") << "big.jpg" << 1000 << QByteArray("size=64k");
        QTest::newRow("bitmap") << "big.bmp" << 1000 << QByteArray("size=64k");
        QTest::newRow("bitmap fits, the converter's png does not")
            << "big.png" << 500 << QByteArray("size=1m");
    }
    void fullDiskKeepsTheEarlierFile() {
        QFETCH(QString, name);
        QFETCH(int, side);
        QFETCH(QByteArray, size);
        RunFixture f;
        const Tmpfs disk(f.t.root() + "/small", 0, size);
        if (!disk.mounted) {
            QSKIP("needs root to mount a small file system");
        }
        const QString suffix = QFileInfo(name).suffix();
        NoisyImage(side, side)
            .save(f.sources + "/" + name, suffix == "jpg" ? "JPG" : suffix.toUpper().toLatin1());
        f.form.ListView1->Add(f.sources + "/" + name);
        f.form.Text1->setText(disk.path);
        WriteFile(disk.path + "/" + name, "earlier");
        f.form.PushButton2->click();

        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY2(f.dialogs.errors().first().contains("the disk is full"),
                 qPrintable(f.dialogs.errors().first()));
        QCOMPARE(ReadFile(disk.path + "/" + name), QByteArray("earlier"));
        QVERIFY(HasNames(disk.path, {name}));
    }

    // On a noexec temporary folder the converter runs from memory, for every format.
    void noexecTemporaryFolderStillConverts() {
        RunFixture f;
        const Tmpfs noexec(f.t.root() + "/noexec", MS_NOEXEC | MS_NOSUID | MS_NODEV,
                           "size=64m,mode=0700");
        if (!noexec.mounted) {
            QSKIP("needs root to mount a noexec file system");
        }
        const QStringList names{"a.png", "b.tif", "c.gif", "d.ico"};
        const QList<QByteArray> formats{"png", "tiff", "gif", "ico"};
        for (int i = 0; i < names.size(); ++i) {
            const bool gif = formats[i] == "gif";
            const QString path = f.source(names[i], gif ? "BMP" : formats[i].toUpper().constData());
            QVERIFY(!gif || QProcess::execute(VELLORAN_CONVERT_PATH, {"-out", "gif", path}) == 0);
            f.form.ListView1->Add(path);
        }
        f.form.env.tempFolder = [path = noexec.path] { return path; };
        f.form.Text1->setText(f.sources);
        f.dialogs.buttonAnswers.enqueue(Dialogs::Button::Yes);
        f.form.PushButton2->click();

        QCOMPARE(f.dialogs.errors(), QStringList());
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(FormatOf(f.sources + "/" + names[i]), formats[i]);
        }
        QVERIFY(HasNames(f.sources, names));
    }

    // A bad file among good ones is reported once and written nowhere; the good ones come out.
    void badFileIsReportedOnce_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");  // null: a FIFO
        const QImage picture = NoisyImage(160, 120);
        const QByteArray gif = GifBytes(picture.convertToFormat(QImage::Format_Indexed8));
        const QByteArray bmp = Encoded(picture, "bmp");
        QTest::newRow("tiff named .tiff, which is not converted")
            << "a.tiff" << Encoded(picture, "tiff");
        QTest::newRow("svg named .gif")
            << "ref.gif"
            << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\">"
                          "<rect width=\"8\" height=\"8\"/></svg>");
        QTest::newRow("gif cut at 60%") << "cut.gif" << gif.left(gif.size() * 6 / 10);
        QTest::newRow("bmp cut at 60%") << "cut.bmp" << bmp.left(bmp.size() * 6 / 10);
        QTest::newRow("png cut at 60%, through the converter")
            << "cut.png" << Encoded(picture, "png").left(2000);
        QTest::newRow("fifo named .png, through the converter") << "x.png" << QByteArray();
        QTest::newRow("fifo named .tif, through the converter") << "x.tif" << QByteArray();
        QTest::newRow("fifo named .jpg") << "x.jpg" << QByteArray();
    }
    void badFileIsReportedOnce() {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        RunFixture f;
        f.add("first.jpg", "JPG");
        const QString bad = f.sources + "/" + name;
        QVERIFY(contents.isNull() ? ::mkfifo(QFile::encodeName(bad).constData(), 0600) == 0
                                  : !WriteFile(bad, contents).isEmpty());
        f.form.ListView1->Add(bad);
        f.add("last.bmp", "BMP");
        f.form.PushButton2->click();

        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(name), qPrintable(errors.first()));
        QVERIFY(HasNames(f.output, {"first.jpg", "last.bmp"}));
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
    }
};

QTEST_MAIN(RunSafetyTest)
#include "run_safety_test.moc"

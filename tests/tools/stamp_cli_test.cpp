// SPDX-License-Identifier: MIT
// Black-box tests of velloran-stamp: run the built program with its own settings file,
// temporary folder and home, then look at what it wrote, printed and returned.
#include "support/form_fixture.h"
#include "support/photo_image.h"

#include <QDirIterator>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <algorithm>

#include <exiv2/exiv2.hpp>

#include <dirent.h>
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <map>

namespace {

struct Result {
    int exit = -1;
    QByteArray out;
    QByteArray err;
    QList<QJsonObject> lines;  // the JSON objects of standard output
};

// Every entry of a folder by its own bytes (QDir would turn bytes that are not UTF-8
// into U+FFFD), mapped to the file's bytes; folders map to "<dir>".
std::map<QByteArray, QByteArray> FolderBytes(const QByteArray& folder) {
    std::map<QByteArray, QByteArray> files;
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return files;
    }
    while (dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        const QByteArray path = folder + '/' + name;
        struct stat st {};
        ::lstat(path.constData(), &st);
        if (S_ISDIR(st.st_mode)) {
            files[name] = "<dir>";
            continue;
        }
        FILE* f = ::fopen(path.constData(), "rb");
        QByteArray bytes;
        if (f != nullptr) {
            char buffer[65536];
            size_t n = 0;
            while ((n = ::fread(buffer, 1, sizeof buffer, f)) > 0) {
                bytes.append(buffer, static_cast<qsizetype>(n));
            }
            ::fclose(f);
        }
        files[name] = bytes;
    }
    ::closedir(dir);
    return files;
}

// The bytes a JSON path stands for: lone surrogates U+DC80..U+DCFF are the bytes that
// were not UTF-8.
QByteArray PathBytes(const QString& text) {
    QByteArray bytes;
    QString run;
    for (const QChar c : text) {
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
            bytes += run.toUtf8();
            run.clear();
            bytes += static_cast<char>(c.unicode() - 0xDC00);
        } else {
            run += c;
        }
    }
    return bytes + run.toUtf8();
}

// A JPEG with a camera model and the date it was taken.
void AddExif(const QString& path, const char* model, const char* taken) {
    auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.Model"] = model;
    exif["Exif.Photo.DateTimeOriginal"] = taken;
    image->setExifData(exif);
    image->writeMetadata();
}

void SetModified(const QByteArray& path, QDateTime when) {
    const utimbuf times{when.toSecsSinceEpoch(), when.toSecsSinceEpoch()};
    ::utime(path.constData(), &times);
}

// A test's folders: settings, temporary folder, home, sources and output.
class Scene {
public:
    Scene(const Scene&) = delete;
    // QTemporaryDir cannot remove names that are not UTF-8.
    ~Scene() {
        ::nftw(
            QFile::encodeName(dir.path()).constData(),
            [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }
    Scene() {
        QDir root(dir.path());
        for (const char* sub : {"config/Tellwick", "temp", "home/Desktop", "in", "out"}) {
            root.mkpath(sub);
        }
        // As after the window's first start, which stores its mode: a run that names no
        // text stamps the window's own (a fresh account is refused, see nothingChosen).
        store({{"Combo1", "Stamp your text on all images"}});
    }
    QString path(const QString& sub) const { return dir.path() + '/' + sub; }
    QByteArray bytes(const QByteArray& sub) const {
        return QFile::encodeName(dir.path()) + '/' + sub;
    }

    void store(const Settings& values) const {
        StoreSettings(path("config/Tellwick/Tellwick.ini"), values);
    }

    // A photo of the given size and format at in/<name>.
    QString picture(const QString& name, const char* format = "JPEG", int width = 320,
                    int height = 200) const {
        const QString file = path("in/" + name);
        QImageWriter writer(file, format);
        writer.write(PhotoLike(width, height));
        return file;
    }

    Result run(const QStringList& arguments, const QByteArray& input = {},
               int timeoutMs = 120000) const {
        QList<QByteArray> raw;
        for (const QString& a : arguments) {
            raw << a.toUtf8();
        }
        return runRaw(raw, input, timeoutMs);
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("HOME", path("home"));
        env.insert("TEMP", path("temp"));
        env.insert("LC_ALL", "C.UTF-8");
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        return env;
    }

    // Arguments as bytes, for names that are not UTF-8.
    Result runRaw(const QList<QByteArray>& arguments, const QByteArray& input = {},
                  int timeoutMs = 120000) const {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.setWorkingDirectory(dir.path());
        QStringList args;
        for (const QByteArray& a : arguments) {
            args << QFile::decodeName(a);
        }
        // QProcess passes arguments through QFile::encodeName: only UTF-8 survives. Bytes
        // that are not go through a shell's printf instead.
        bool plain = true;
        for (const QByteArray& a : arguments) {
            plain = plain && QFile::encodeName(QFile::decodeName(a)) == a;
        }
        if (plain) {
            p.start(VELLORAN_STAMP_PATH, args);
        } else {
            QString script = QStringLiteral("exec \"$0\"");
            QStringList shellArgs{VELLORAN_STAMP_PATH};
            for (int i = 0; i < arguments.size(); ++i) {
                QString escaped;
                for (const char c : arguments.at(i)) {
                    escaped +=
                        QStringLiteral("\\%1").arg(static_cast<unsigned char>(c), 3, 8, QChar('0'));
                }
                script += QStringLiteral(" \"$(printf '%1')\"").arg(escaped);
            }
            p.start("/bin/sh", QStringList{"-c", script} + shellArgs);
        }
        p.write(input);
        p.closeWriteChannel();
        Result r;
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        for (const QByteArray& line : r.out.split('\n')) {
            if (line.startsWith('{')) {
                r.lines << QJsonDocument::fromJson(line).object();
            }
        }
        return r;
    }

    QTemporaryDir dir;
};

QStringList Names(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

bool DecodesFully(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    return !image.isNull();
}

}  // namespace

class StampCliTest : public QObject {
    Q_OBJECT

private slots:
    // The window and the companion, given the same settings file and sources, write the
    // same files, byte for byte, in every format the window writes.
    void sameBytesAsTheWindow() {
        FormFixture f({{"Combo1", "Stamp filename on all images without extension"},
                       {"Position", "Center-bottom"},
                       {"Font Color", "255"},
                       {"FontName", "Liberation Serif"},
                       {"FontSize", "20"},
                       {"FontItalic", "True"},
                       {"Slider1", "70"}});
        Scene s;
        QFile::remove(s.path("config/Tellwick/Tellwick.ini"));
        QVERIFY(QFile::copy(f.t.env.settingsFile, s.path("config/Tellwick/Tellwick.ini")));
        const QList<std::pair<QString, const char*>> sources = {
            {"photo.jpg", "JPEG"}, {"UPPER.JPEG", "JPEG"}, {"lossless.png", "PNG"},
            {"scan.tif", "TIFF"},  {"flat.bmp", "BMP"},    {"icon.ico", "ICO"},
            {"anim.gif", nullptr}, {"meta.wmf", "BMP"},    {"other.pic", "BMP"},
        };
        QStringList paths;
        for (const auto& [name, format] : sources) {
            if (format == nullptr) {
                // Qt writes no GIF; the loader judges by content, and the copy of a ".gif"
                // goes through the converter's GIF writer all the same.
                const QString bmp = s.picture("anim-source.bmp", "BMP", 120, 80);
                QVERIFY(QFile::rename(bmp, s.path("in/" + name)));
                paths << s.path("in/" + name);
                continue;
            }
            paths << s.picture(name, format, name == "icon.ico" ? 64 : 320,
                               name == "icon.ico" ? 64 : 200);
        }
        AddExif(s.path("in/photo.jpg"), "Cam 1", "2021:05:04 13:02:03");
        QDir().mkpath(s.path("window"));
        for (const QString& path : paths) {
            f.form.ListView1->Add(path);
        }
        f.form.Text1->setText(s.path("window"));
        f.form.PushButton2_Click();

        const Result r = s.run(QStringList{"-Q", "-j", "2", "-o", s.path("out")} + paths);
        // The converter knows no format by the name ".pic": the window reports it and
        // writes nothing under that name, and so does the companion.
        QVERIFY2(r.exit == 1, r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.err.startsWith("velloran-stamp: " + QFile::encodeName(s.path("in/other.pic")) +
                                 ": "));
        const auto window = FolderBytes(QFile::encodeName(s.path("window")));
        const auto companion = FolderBytes(QFile::encodeName(s.path("out")));
        QCOMPARE(companion.size(), window.size());
        QCOMPARE(companion.size(), size_t(sources.size() - 1));
        for (const auto& [name, bytes] : window) {
            QVERIFY2(companion.count(name) == 1, name.constData());
            QVERIFY2(companion.at(name) == bytes, name.constData());
        }
    }

    void goodAndDamagedFilesGiveExitOneAndALineEach() {
        Scene s;
        s.picture("good.jpg");
        const QByteArray whole = ReadFile(s.picture("cut.jpg"));
        WriteFile(s.path("in/cut.jpg"), whole.left(whole.size() / 2));
        WriteFile(s.path("in/text.jpg"), "not a picture");
        const Result r = s.run({"-Q", "--json", "-o", "out", "in/good.jpg", "in/cut.jpg",
                                "in/missing.jpg", "in/text.jpg"});
        QCOMPARE(r.exit, 1);
        QCOMPARE(Names(s.path("out")), QStringList{"good.jpg"});
        const QList<QByteArray> errors = r.err.trimmed().split('\n');
        QCOMPARE(errors.size(), 3);
        // The sources run on one job per core, so their lines come in the order they end.
        QVERIFY(std::any_of(errors.begin(), errors.end(), [](const QByteArray& line) {
            return line.startsWith("velloran-stamp: in/cut.jpg: ");
        }));
        QCOMPARE(r.lines.size(), 4);
        int ok = 0;
        for (const QJsonObject& line : r.lines) {
            const bool good = line["source"].toString() == "in/good.jpg";
            ok += good ? 1 : 0;
            QCOMPARE(line["status"].toString(), QString(good ? "ok" : "error"));
            QCOMPARE(line["error"].isNull(), good);
        }
        QCOMPARE(ok, 1);
        // A run with only good files is a success.
        QCOMPARE(s.run({"-Q", "-o", "out", "in/good.jpg"}).exit, 0);
    }

    // Names with blanks, newlines, a leading dash and bytes that are not UTF-8, in a
    // folder that is not UTF-8 either, reach the output folder under their own bytes.
    void oddNamesThroughNulSeparatedInput() {
        Scene s;
        const QList<QByteArray> names = {"two words.jpg", "new\nline.jpg", "-dash.jpg",
                                         "caf\xe9.jpg",   "\xff\xfe.jpg",  "tab\there.png"};
        const QByteArray image = ReadFile(s.picture("seed.jpg"));
        const QByteArray png = ReadFile(s.picture("seed.png", "PNG"));
        QByteArray input;
        ::mkdir(s.bytes("in/dir\xff").constData(), 0755);
        for (const QByteArray& name : names) {
            const QByteArray path = s.bytes("in/dir\xff/") + name;
            FILE* f = ::fopen(path.constData(), "wb");
            const QByteArray& bytes = name.endsWith(".png") ? png : image;
            ::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
            ::fclose(f);
            input += path + '\0';
        }
        ::mkdir(s.bytes("out\xff").constData(), 0755);
        const Result r =
            s.runRaw({"-Q", "-0", "--json", "-m", "name", "-o", "out\xff", "-"}, input);
        QCOMPARE(r.exit, 0);
        const auto written = FolderBytes(s.bytes("out\xff"));
        QCOMPARE(written.size(), size_t(names.size()));
        QByteArrayList sources;
        for (const QJsonObject& line : r.lines) {
            sources << PathBytes(line["source"].toString());
            QCOMPARE(line["status"].toString(), QString("ok"));
        }
        for (const QByteArray& name : names) {
            QVERIFY2(written.count(name) == 1, name.constData());
            QVERIFY(sources.contains(s.bytes("in/dir\xff/") + name));
        }
        // Nothing of the stand-in names is left in the output folder.
        for (const auto& entry : written) {
            QVERIFY(!entry.first.startsWith(".velloran"));
        }
        // The same names one per line: all but the one with a newline.
        QByteArray lines;
        for (const QByteArray& name : names) {
            if (!name.contains('\n')) {
                lines += s.bytes("in/dir\xff/") + name + '\n';
            }
        }
        const Result perLine = s.run({"-Q", "--json", "-n", "-o", "out", "-"}, lines);
        QCOMPARE(perLine.exit, 0);
        QCOMPARE(perLine.lines.size(), names.size() - 1);
    }

    // A folder scan also finds what the window cannot list: files named by bytes that are
    // not UTF-8, and everything below a folder so named, in the one walk's order (each
    // folder's names as the window sorts them, a byte that is not UTF-8 after every letter).
    void folderScanFindsNamesThatAreNotUtf8() {
        Scene s;
        const QByteArray image = ReadFile(s.picture("plain.jpg"));
        const QByteArrayList odd = {"in/caf\xe9.jpg", "in/\xff\xfe.JPG", "in/dir\xff/a.jpg",
                                    "in/dir\xff/deeper/b.jpg", "in/dir\xff/~skipped.jpg",
                                    "in/other.\xe9.png"};
        ::mkdir(s.bytes("in/dir\xff").constData(), 0755);
        ::mkdir(s.bytes("in/dir\xff/deeper").constData(), 0755);
        // A link back up is followed once, not round and round.
        QVERIFY(::symlink("..", s.bytes("in/dir\xff/deeper/up\xff").constData()) == 0);
        for (const QByteArray& name : odd) {
            FILE* f = ::fopen(s.bytes(name).constData(), "wb");
            ::fwrite(image.constData(), 1, size_t(image.size()), f);
            ::fclose(f);
        }
        // One job: the lines come in the list's order.
        const Result r = s.run({"-Q", "-j", "1", "--json", "-o", "out", "in"});
        QCOMPARE(r.exit, 0);
        QByteArrayList sources;
        for (const QJsonObject& line : r.lines) {
            sources << PathBytes(line["source"].toString());
            QCOMPARE(line["status"].toString(), QString("ok"));
        }
        const QByteArrayList expected = {"in/caf\xe9.jpg", "in/plain.jpg", "in/\xff\xfe.JPG",
                                         "in/dir\xff/a.jpg", "in/dir\xff/deeper/b.jpg"};
        QCOMPARE(sources, expected);
        const auto written = FolderBytes(s.bytes("out"));
        for (const QByteArray& name : {QByteArray("caf\xe9.jpg"), QByteArray("b.jpg")}) {
            QVERIFY2(written.count(name) == 1, name.constData());
        }
    }

    void skipExistingLeavesWhatIsThere() {
        Scene s;
        for (int i = 0; i < 4; ++i) {
            s.picture(QString("p%1.jpg").arg(i));
        }
        QCOMPARE(s.run({"-Q", "-o", "out", "in/p0.jpg", "in/p2.jpg"}).exit, 0);
        struct stat before {};
        ::stat(QFile::encodeName(s.path("out/p0.jpg")).constData(), &before);
        const Result r = s.run({"-Q", "--json", "--skip-existing", "-o", "out", "in"});
        QCOMPARE(r.exit, 0);
        QMap<QString, QString> status;
        for (const QJsonObject& line : r.lines) {
            status[QFileInfo(line["source"].toString()).fileName()] = line["status"].toString();
        }
        QCOMPARE(
            status,
            (QMap<QString, QString>{
                {"p0.jpg", "skipped"}, {"p1.jpg", "ok"}, {"p2.jpg", "skipped"}, {"p3.jpg", "ok"}}));
        struct stat after {};
        ::stat(QFile::encodeName(s.path("out/p0.jpg")).constData(), &after);
        QCOMPARE(after.st_ino, before.st_ino);
        // A second run has nothing left to do.
        const Result again = s.run({"-Q", "--json", "--skip-existing", "-o", "out", "in"});
        for (const QJsonObject& line : again.lines) {
            QCOMPARE(line["status"].toString(), QString("skipped"));
        }
    }

    // Three shards, one after the other, write what one run writes, each source once.
    void shardsTogetherAreOneRun() {
        Scene s;
        for (int i = 0; i < 7; ++i) {
            s.picture(QString("s%1.jpg").arg(i));
        }
        QDir().mkpath(s.path("one"));
        QCOMPARE(s.run({"-Q", "-m", "name", "-o", "one", "in"}).exit, 0);
        QMap<QString, int> stamped;
        for (int k = 1; k <= 3; ++k) {
            const Result r = s.run({"-Q", "--json", "-m", "name", "--shard", QString("%1/3").arg(k),
                                    "-o", "out", "in"});
            QCOMPARE(r.exit, 0);
            QVERIFY(r.lines.size() >= 2 && r.lines.size() <= 3);
            for (const QJsonObject& line : r.lines) {
                ++stamped[line["source"].toString()];
            }
        }
        QCOMPARE(stamped.size(), 7);
        for (int count : stamped) {
            QCOMPARE(count, 1);
        }
        QCOMPARE(FolderBytes(QFile::encodeName(s.path("out"))),
                 FolderBytes(QFile::encodeName(s.path("one"))));
    }

    // Interrupted in the middle, the run finishes what it was doing, leaves every copy
    // whole, no temporary file anywhere, and ends with 130.
    void interruptedRunLeavesNothingBroken() {
        Scene s;
        for (int i = 0; i < 24; ++i) {
            s.picture(QString("big%1.%2").arg(i, 2, 10, QChar('0')).arg(i % 3 == 0 ? "png" : "jpg"),
                      i % 3 == 0 ? "PNG" : "JPEG", 1600, 1200);
        }
        QProcess p;
        p.setProcessEnvironment(s.environment());
        p.setWorkingDirectory(s.path(""));
        p.start(VELLORAN_STAMP_PATH, {"-Q", "-j", "2", "--json", "--ext", "*", "-o", "out", "in"});
        QVERIFY(p.waitForStarted());
        // The first finished picture shows that stamping is under way.
        QVERIFY(p.waitForReadyRead(120000));
        ::kill(static_cast<pid_t>(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 130);
        const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
        QVERIFY(lines.size() < 24);
        const QStringList written = Names(s.path("out"));
        QVERIFY(written.size() < 24);
        for (const QString& name : written) {
            QVERIFY2(!name.startsWith(".velloran"), qPrintable(name));
            QVERIFY2(DecodesFully(s.path("out/" + name)), qPrintable(name));
        }
        // The private temporary folder keeps no work folder of the run.
        QDirIterator it(s.path("temp"), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString left = it.next();
            QVERIFY2(!left.contains("/stamp-"), qPrintable(left));
        }
    }

    // Ctrl-C in a terminal signals the whole foreground group: the conversions in
    // progress are the program's to finish, so every picture begun is written.
    void terminalInterruptLetsConversionsFinish() {
        Scene s;
        for (int i = 0; i < 8; ++i) {
            s.picture(QString("big%1.png").arg(i), "PNG", 1200, 900);
        }
        QProcess p;
        p.setProcessEnvironment(s.environment());
        p.setWorkingDirectory(s.path(""));
        p.setChildProcessModifier([] { ::setpgid(0, 0); });
        // Without -Q: the run ends with how far it got and how to finish the job.
        p.start(VELLORAN_STAMP_PATH, {"-j", "2", "--json", "--ext", "png", "-o", "out", "in"});
        QVERIFY(p.waitForStarted());
        QVERIFY(p.waitForReadyRead(120000));
        ::kill(-static_cast<pid_t>(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 130);
        const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
        QVERIFY(lines.size() < 8);
        for (const QByteArray& line : lines) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            QVERIFY2(entry["status"].toString() == "ok", line.constData());
        }
        QCOMPARE(Names(s.path("out")).size(), lines.size());
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(err.contains(QByteArray("interrupted: ") + QByteArray::number(lines.size()) +
                              " of 8 done"),
                 err.constData());
        QVERIFY2(err.contains("to finish the job: velloran-stamp --skip-existing -j 2 --json "
                              "--ext png -o out in"),
                 err.constData());
    }

    void templatesWithAndWithoutExif() {
        Scene s;
        s.picture("camera.jpg");
        AddExif(s.path("in/camera.jpg"), "Cam 7", "2021:05:04 13:02:03");
        s.picture("plain.jpg");
        SetModified(s.bytes("in/plain.jpg"), QDateTime(QDate(2019, 2, 3), QTime(4, 5, 6)));
        const Result r = s.run({"-Q", "-n", "--json", "--template",
                                "{n}:{stem}|{exif:Model}|{taken:yyyy-MM-dd HH:mm}|{{x}}", "-o",
                                "out", "in/camera.jpg", "in/plain.jpg"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.lines.size(), 2);
        QStringList texts;
        for (const QJsonObject& line : r.lines) {
            texts << line["text"].toString();
        }
        texts.sort();
        QCOMPARE(texts, (QStringList{"1:camera|Cam 7|2021-05-04 13:02|{x}",
                                     "2:plain||2019-02-03 04:05|{x}"}));
        QCOMPARE(Names(s.path("out")), QStringList());
        // The stamped copy carries the expanded text: it differs from one without it.
        QCOMPARE(s.run({"-Q", "--template", "{exif:Model}", "-o", "out", "in/camera.jpg"}).exit, 0);
        QDir().mkpath(s.path("literal"));
        QCOMPARE(s.run({"-Q", "-t", "Cam 7", "-o", "literal", "in/camera.jpg"}).exit, 0);
        QCOMPARE(ReadFile(s.path("out/camera.jpg")), ReadFile(s.path("literal/camera.jpg")));

        // strftime's forms, as date(1) takes them, give the same date.
        const Result percent =
            s.run({"-Q", "-n", "--json", "--template", "{taken:%Y-%m-%d %H:%M}|{exif:LensModel}",
                   "-o", "out", "in/camera.jpg"});
        QCOMPARE(percent.exit, 0);
        QCOMPARE(percent.lines.size(), 1);
        QCOMPARE(percent.lines[0]["text"].toString(), QString("2021-05-04 13:02|"));
    }

    void replaceRefusedThenAllowed() {
        Scene s;
        s.picture("a.jpg");
        s.picture("b.jpg");
        const QByteArray original = ReadFile(s.path("in/a.jpg"));
        const Result refused = s.run({"-Q", "-o", "in", "in/a.jpg", "in/b.jpg"});
        QCOMPARE(refused.exit, 2);
        QVERIFY(
            refused.err.contains("velloran-stamp: in/a.jpg: the copy would replace the original"));
        QCOMPARE(ReadFile(s.path("in/a.jpg")), original);
        QCOMPARE(Names(s.path("in")), (QStringList{"a.jpg", "b.jpg"}));
        // A link to the source folder is the source folder.
        QVERIFY(QFile::link(s.path("in"), s.path("alias")));
        QCOMPARE(s.run({"-Q", "-o", "alias", "in/a.jpg"}).exit, 2);

        const Result allowed = s.run({"-Q", "--replace-originals", "-o", "in", "in/a.jpg"});
        QCOMPARE(allowed.exit, 0);
        QVERIFY(ReadFile(s.path("in/a.jpg")) != original);
        QVERIFY(DecodesFully(s.path("in/a.jpg")));
        QCOMPARE(Names(s.path("in")), (QStringList{"a.jpg", "b.jpg"}));
    }

    void usageErrorsWriteNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("unknown option")
            << QStringList{"--frobnicate", "in"} << QByteArray("unknown option '--frobnicate'");
        QTest::newRow("no sources") << QStringList{"-o", "out"} << QByteArray("no pictures named");
        QTest::newRow("missing output folder")
            << QStringList{"-o", "nowhere", "in"}
            << QByteArray("velloran-stamp: nowhere: the output folder does not exist");
        QTest::newRow("jobs zero")
            << QStringList{"-j", "0", "-o", "out", "in"} << QByteArray("--jobs");
        QTest::newRow("shard") << QStringList{"--shard", "4/3", "-o", "out", "in"}
                               << QByteArray("--shard");
        QTest::newRow("ext") << QStringList{"--ext", "", "-o", "out", "in"} << QByteArray("--ext");
        QTest::newRow("template") << QStringList{"--template", "{nam}", "-o", "out", "in"}
                                  << QByteArray("unknown placeholder {nam}");
        QTest::newRow("template date letters")
            << QStringList{"--template", "{taken:YYYY-MM-DD hh:mm}", "-o", "out", "in"}
            << QByteArray("\"YYYY\": use yyyy for the year; \"DD\": use dd for the day");
        QTest::newRow("template date styles mixed")
            << QStringList{"--template", "{taken:%Y-MM}", "-o", "out", "in"}
            << QByteArray("\"MM\" beside %-forms");
        QTest::newRow("template exif tag")
            << QStringList{"--template", "{exif:Modle}", "-o", "out", "in"}
            << QByteArray("\"Modle\" is not a tag exiv2 knows");
        QTest::newRow("mode") << QStringList{"-m", "clock", "-o", "out", "in"}
                              << QByteArray("--mode");
        QTest::newRow("quality") << QStringList{"-q", "0", "-o", "out", "in"}
                                 << QByteArray("--quality");
        QTest::newRow("colour") << QStringList{"-c", "nocolour", "-o", "out", "in"}
                                << QByteArray("--color");
        QTest::newRow("font") << QStringList{"-f", "Arial,huge", "-o", "out", "in"}
                              << QByteArray("--font");
        QTest::newRow("position") << QStringList{"-p", "top", "-o", "out", "in"}
                                  << QByteArray("--position");
    }
    void usageErrorsWriteNothing() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, message);
        Scene s;
        s.picture("a.jpg");
        const Result r = s.run(arguments);
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(message), r.err.constData());
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(Names(s.path("out")), QStringList());
    }

    void helpVersionAndSettings() {
        Scene s;
        const Result help = s.run({"--help"});
        QCOMPARE(help.exit, 0);
        for (const char* option : {"--null",
                                   "--ext",
                                   "--output",
                                   "--mode",
                                   "--text",
                                   "--template",
                                   "--position",
                                   "--font",
                                   "--color",
                                   "--quality",
                                   "--no-settings",
                                   "--print-settings",
                                   "--jobs",
                                   "--shard",
                                   "--skip-existing",
                                   "--dry-run",
                                   "--json",
                                   "--quiet",
                                   "--replace-originals",
                                   "--help",
                                   "--version"}) {
            QVERIFY2(help.out.contains(QByteArray(option) + ' '), option);
        }
        const Result version = s.run({"--version"});
        QCOMPARE(version.out, QByteArray("velloran-stamp " VELLORAN_VERSION_TEXT "\n"));

        s.store({{"Position", "Lower-right"}, {"FontSize", "30"}, {"Output Folder", "/srv/x/"}});
        QCOMPARE(s.run({"--print-settings", "-c", "red", "-t", "a\nb\\c"}).out,
                 QByteArray("output: /srv/x/\nmode: text\ntext: a\\nb\\\\c\nposition: lower-right\n"
                            "font: Arial,30,bold\ncolor: #FF0000\nquality: 85\n"));
        // --no-settings: a first start's settings, the desktop as output folder.
        QCOMPARE(s.run({"--print-settings", "--no-settings"}).out,
                 QByteArray("output: " + QFile::encodeName(s.path("home/Desktop/")) +
                            "\nmode: text\ntext: Your text goes here\nposition: upper-left\n"
                            "font: Arial,24,bold\ncolor: #FFFFFF\nquality: 85\n"));
        // A stored value the window cannot take gives a warning, not a failure.
        s.store({{"Slider1", "500"}});
        const Result warned = s.run({"--print-settings"});
        QCOMPARE(warned.exit, 0);
        QVERIFY(warned.err.contains("warning: stored \"Slider1\" \"500\""));
        // The program never writes the settings file.
        const QByteArray before = ReadFile(s.path("config/Tellwick/Tellwick.ini"));
        s.picture("a.jpg");
        QCOMPARE(s.run({"-Q", "-o", "out", "in"}).exit, 0);
        QCOMPARE(ReadFile(s.path("config/Tellwick/Tellwick.ini")), before);
    }

    void dryRunAndFolderScan() {
        Scene s;
        s.picture("B.JPG");
        s.picture("a.jpg");
        QDir().mkpath(s.path("in/sub"));
        s.picture("sub/c.jpg");
        s.picture("d.png", "PNG");
        const Result r = s.run({"-n", "-o", "out", "in"});
        QCOMPARE(r.exit, 0);
        // The window's scan order: the folder's files by name without regard to case,
        // then its subfolders'; only the extension asked for.
        QCOMPARE(r.out,
                 QByteArray("in/a.jpg -> " + QFile::encodeName(s.path("out/a.jpg")) + "\n" +
                            "in/B.JPG -> " + QFile::encodeName(s.path("out/B.JPG")) + "\n" +
                            "in/sub/c.jpg -> " + QFile::encodeName(s.path("out/c.jpg")) + "\n"));
        QCOMPARE(Names(s.path("out")), QStringList());
        QCOMPARE(s.run({"-n", "--json", "--ext", "*", "-o", "out", "in"}).lines.size(), 4);
        QCOMPARE(s.run({"-n", "--json", "--ext", "png", "-o", "out", "in"}).lines.size(), 1);
    }

    // A reader that goes away stops the run: no more pictures start, the status is 1,
    // and the versions and help that cannot be written fail too.
    void closedOutputStopsTheRun() {
        Scene s;
        for (int i = 0; i < 6; ++i) {
            s.picture(QString("c%1.jpg").arg(i));
        }
        QProcess bash;
        bash.setProcessEnvironment(s.environment());
        bash.setWorkingDirectory(s.path(""));
        bash.start("bash", {"-c",
                            "\"$0\" -Q -j 1 --json -o out in | true; echo ${PIPESTATUS[0]}; "
                            "\"$0\" --version >/dev/full; echo $?",
                            VELLORAN_STAMP_PATH});
        QVERIFY(bash.waitForFinished(120000));
        QCOMPARE(bash.readAllStandardOutput(), QByteArray("1\n1\n"));
        QVERIFY(bash.readAllStandardError().contains("velloran-stamp: standard output: "));
        QVERIFY(Names(s.path("out")).size() < 6);
    }

    // Two sources of one name have one copy, the later one's, as in the window; the
    // earlier is an error naming both (a photo left out is never silent), so the run ends
    // with 1 and no run depends on which finished first. --mirror keeps both.
    void sameNameTwiceKeepsTheLater() {
        Scene s;
        s.picture("a.jpg");
        QDir().mkpath(s.path("in/sub"));
        s.picture("sub/a.jpg", "JPEG", 200, 120);
        const Result r = s.run({"-Q", "--json", "-m", "path", "-o", "out", "in"});
        QCOMPARE(r.exit, 1);
        QCOMPARE(r.lines.size(), 2);
        for (const QJsonObject& line : r.lines) {
            const bool later = line["source"].toString() == "in/sub/a.jpg";
            QCOMPARE(line["status"].toString(), QString(later ? "ok" : "error"));
            QCOMPARE(line["error"].toString().contains("in/a.jpg and in/sub/a.jpg make the same copy"),
                     !later);
        }
        QDir().mkpath(s.path("alone"));
        QCOMPARE(s.run({"-Q", "-m", "path", "-o", "alone", "in/sub/a.jpg"}).exit, 0);
        QCOMPARE(ReadFile(s.path("out/a.jpg")), ReadFile(s.path("alone/a.jpg")));
    }

    // A card's tree kept below the output folder: repeated camera names, blanks, umlauts
    // and a folder whose name is not UTF-8 each get their own folder, made as needed.
    void mirrorKeepsTheCardsTree() {
        Scene s;
        const QByteArray image = ReadFile(s.picture("seed.jpg"));
        QFile::remove(s.path("in/seed.jpg"));
        const QByteArrayList files = {"card/100CANON/IMG_0001.JPG", "card/101CANON/IMG_0001.JPG",
                                      "card/two words/M\xc3\xbcnchen.jpg", "card/raw\xff/a.jpg"};
        for (const QByteArray& file : files) {
            const QByteArray path = s.bytes("in/" + file);
            QDir().mkpath(QFile::decodeName(path.left(path.lastIndexOf('/'))));
            ::mkdir(path.left(path.lastIndexOf('/')).constData(), 0755);
            FILE* f = ::fopen(path.constData(), "wb");
            QVERIFY(f != nullptr);
            ::fwrite(image.constData(), 1, size_t(image.size()), f);
            ::fclose(f);
        }
        const Result r = s.run({"--mirror", "--ext", "pictures", "-t", "x", "-o", "out", "in/card"});
        QVERIFY2(r.exit == 0, r.err.constData());
        for (const QByteArray& file : files) {
            QVERIFY2(QFile::exists(QFile::decodeName(s.bytes("out/" + file.mid(5)))) ||
                         ::access(s.bytes("out/" + file.mid(5)).constData(), F_OK) == 0,
                     file.constData());
        }
        QVERIFY2(r.err.contains("4 stamped"), r.err.constData());
    }

    // What a new user meets: no -o, nothing chosen on a fresh account, a summary at the end.
    void noSurprisesByDefault() {
        Scene s;
        s.picture("a.jpg");
        s.picture("b.png", "PNG");
        s.picture("c.bmp", "BMP");
        Result r = s.run({"in"});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains("no output folder"), r.err.constData());
        QFile::remove(s.path("config/Tellwick/Tellwick.ini"));
        r = s.run({"-o", "out", "in"});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains("nothing to stamp"), r.err.constData());
        QCOMPARE(Names(s.path("out")), QStringList());
        QCOMPARE(s.run({"-o", "missing", "-t", "x", "in"}).exit, 2);

        r = s.run({"-t", "x", "--ext", "jpg,PNG", "-o", "out", "in"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(Names(s.path("out")), (QStringList{"a.jpg", "b.png"}));
        QVERIFY2(r.err.contains("2 stamped, 1 left out by --ext"), r.err.constData());
        r = s.run({"-t", "x", "--skip-existing", "--ext", "pictures", "-o", "out", "in"});
        QVERIFY2(r.err.contains("1 stamped, 2 skipped"), r.err.constData());
        QCOMPARE(s.run({"-Q", "-t", "x", "--ext", "j*g", "-o", "out", "in"}).exit, 2);
    }

    // A hot folder: what is there is stamped, then a picture written slowly in chunks is
    // stamped once it is complete, a picture renamed in too; SIGTERM ends the watch.
    void watchStampsWhatArrives() {
        Scene s;
        s.picture("first.jpg");
        const QByteArray photo = ReadFile(s.picture("seed.jpg"));
        QFile::remove(s.path("in/seed.jpg"));
        QProcess p;
        p.setProcessEnvironment(s.environment());
        p.setWorkingDirectory(s.path(""));
        p.start(VELLORAN_STAMP_PATH, {"--watch", "--json", "-t", "x", "-o", "out", "in"});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(s.path("out/first.jpg")), 60000);
        {
            QFile slow(s.path("in/slow.jpg"));
            QVERIFY(slow.open(QIODevice::WriteOnly));
            for (qsizetype at = 0; at < photo.size(); at += 4096) {
                slow.write(photo.mid(at, 4096));
                slow.flush();
                QTest::qWait(20);
            }
        }
        QFile moved(s.path("moved.tmp"));
        QVERIFY(moved.open(QIODevice::WriteOnly) && moved.write(photo) == photo.size());
        moved.close();
        QVERIFY(QFile::rename(s.path("moved.tmp"), s.path("in/moved.jpg")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(s.path("out/slow.jpg")) &&
                                     QFile::exists(s.path("out/moved.jpg")),
                                 60000);
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 130);
        QVERIFY(DecodesFully(s.path("out/slow.jpg")));
        int slowCopies = 0;
        for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
            slowCopies += line.contains("/in/slow.jpg\",\"output") ? 1 : 0;
        }
        QCOMPARE(slowCopies, 1);

        // Started again, the watch stamps only what arrived meanwhile.
        s.picture("meanwhile.jpg");
        QProcess again;
        again.setProcessEnvironment(s.environment());
        again.setWorkingDirectory(s.path(""));
        again.start(VELLORAN_STAMP_PATH, {"--watch", "--json", "-t", "x", "-o", "out", "in"});
        QVERIFY(again.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(s.path("out/meanwhile.jpg")), 60000);
        ::kill(static_cast<pid_t>(again.processId()), SIGTERM);
        QVERIFY(again.waitForFinished(60000));
        QCOMPARE(again.exitCode(), 130);
        const QByteArray restarted = again.readAllStandardOutput();
        QCOMPARE(restarted.count("\"status\":\"ok\""), 1);
        QCOMPARE(restarted.count("\"status\":\"skipped\""), 3);
    }

    // A picture the program cannot read is refused in the companion's words, which name
    // what it reads; the JSON record carries the error number.
    void refusalNamesWhatItReads() {
        Scene s;
        s.picture("real.png", "PNG");
        QVERIFY(QFile::rename(s.path("in/real.png"), s.path("in/named.jpg")));
        const Result r = s.run({"-Q", "--json", "-t", "x", "-o", "out", "in/named.jpg"});
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.err.contains("not a picture this program reads (JPEG, PNG, TIFF, BMP, GIF, "
                                "icon, HEIC/HEIF, AVIF, WebP or JPEG XL)"),
                 r.err.constData());
        QCOMPARE(r.lines.size(), 1);
        QCOMPARE(r.lines.first()["code"].toInt(), 481);
    }

    // --keep-time gives each copy its source's time, or the date the photo was taken.
    void keepTimeBothWays() {
        Scene s;
        s.picture("camera.jpg");
        AddExif(s.path("in/camera.jpg"), "Cam 7", "2021:05:04 13:02:03");
        const QDateTime modified(QDate(2019, 2, 3), QTime(4, 5, 6));
        SetModified(s.bytes("in/camera.jpg"), modified);
        QCOMPARE(s.run({"-Q", "-t", "x", "--keep-time", "-o", "out", "in/camera.jpg"}).exit, 0);
        QCOMPARE(QFileInfo(s.path("out/camera.jpg")).lastModified(), modified);
        QCOMPARE(s.run({"-Q", "-t", "x", "--keep-time=taken", "-o", "out", "in/camera.jpg"}).exit,
                 0);
        QCOMPARE(QFileInfo(s.path("out/camera.jpg")).lastModified(),
                 QDateTime(QDate(2021, 5, 4), QTime(13, 2, 3)));
        QCOMPARE(s.run({"-Q", "-t", "x", "--keep-time=now", "-o", "out", "in/camera.jpg"}).exit, 2);
    }

    // The bar shows on a terminal only; --quiet silences it there too.
    void progressOnlyOnATerminal() {
        Scene s;
        for (int i = 0; i < 3; ++i) {
            s.picture(QString("t%1.jpg").arg(i));
        }
        const QString command =
            QString("cd '%1' && '%2' -o out in").arg(s.path(""), VELLORAN_STAMP_PATH);
        QProcess script;
        script.setProcessEnvironment(s.environment());
        script.start("script", {"-q", "-e", "-c", command, "/dev/null"});
        QVERIFY(script.waitForFinished(120000));
        QCOMPARE(script.exitCode(), 0);
        QVERIFY(script.readAllStandardOutput().contains("3/3 100%"));
        QProcess quiet;
        quiet.setProcessEnvironment(s.environment());
        quiet.start("script", {"-q", "-e", "-c", command + " --quiet", "/dev/null"});
        QVERIFY(quiet.waitForFinished(120000));
        QVERIFY(!quiet.readAllStandardOutput().contains("100%"));
        // Not a terminal: no bar, only the summary at the end (with an installed font, no
        // warning either); --quiet leaves even that out.
        s.store({{"FontName", "DejaVu Sans"}});
        QCOMPARE(s.run({"-o", "out", "in"}).err, QByteArray("velloran-stamp: 3 stamped\n"));
        QCOMPARE(s.run({"-Q", "-o", "out", "in"}).err, QByteArray());
        s.store({{"FontName", "No Such Font 7"}});
        QVERIFY(s.run({"-o", "out", "in"}).err.contains(
            "warning: the font \"No Such Font 7\" is not installed; \""));
    }
};

QTEST_MAIN(StampCliTest)
#include "stamp_cli_test.moc"

// SPDX-License-Identifier: MIT
// The engine without a window stamps exactly what the window stamps: the same files, byte
// for byte, and the same failures, message for message. The window's files come from this
// program started again with --window, since one process holds either a widget
// application or none.
#include "engine/engine_start.h"
#include "engine/entry_stamp_text.h"
#include "engine/stamp_source.h"
#include "support/form_fixture.h"
#include "support/test_environment.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <thread>

namespace {

// Every format the window stamps, a damaged picture and a vanished file; both runs must
// agree on the failures as well.
const QStringList kSourceNames{"a.jpg",  "b.jpeg", "c.bmp",      "d.gif",      "e.png",
                               "f.tif",  "g.tiff", "h.ico",      "i.PNG.jpg",  "z-broken.jpg",
                               "zz-missing.bmp"};

// Writes the sources into `folder` and returns their paths in list order.
QStringList WriteSources(const QString& folder) {
    QStringList paths;
    for (const QString& name : kSourceNames) {
        const QString path = folder + "/" + name;
        const QString extension = QFileInfo(name).suffix().toLower();
        if (name.startsWith("z-broken")) {
            WriteFile(path, QByteArrayLiteral("\xFF\xD8\xFF\xE0 not a picture"));
        } else if (name.startsWith("zz-missing")) {
            // Listed, never written.
        } else if (extension == "gif") {
            // Qt writes no GIF: the converter turns a BMP into one.
            const QString bmp = WriteTestImage(folder + "/gif-source.bmp", 150, 100, "BMP",
                                               QColor(200, 120, 40));
            QProcess::execute(VELLORAN_CONVERT_PATH, {"-out", "gif", "-o", path, bmp});
            QFile::remove(bmp);
        } else {
            const char* format = extension == "jpeg" ? "JPG"
                                 : extension == "tiff" ? "TIFF"
                                                       : nullptr;
            WriteTestImage(path, 160 + paths.size() * 7, 120, format, QColor(50, 60, 70));
        }
        paths << path;
    }
    return paths;
}

// The settings as command-line arguments for the window's run, and back.
QStringList ToArguments(const StampSettings& s) {
    return {s.text,
            QString::number(s.mode),
            s.position,
            s.fontFamily,
            QString::number(s.fontSize),
            QString::number(int(s.fontBold) | int(s.fontItalic) << 1 | int(s.fontStrikeout) << 2 |
                            int(s.fontUnderline) << 3),
            QString::number(s.color),
            QString::number(s.quality),
            s.outputFolder};
}

StampSettings FromArguments(const QStringList& a) {
    StampSettings s;
    s.text = a.at(0);
    s.mode = a.at(1).toInt();
    s.position = a.at(2);
    s.fontFamily = a.at(3);
    s.fontSize = a.at(4).toDouble();
    const int style = a.at(5).toInt();
    s.fontBold = style & 1;
    s.fontItalic = style & 2;
    s.fontStrikeout = style & 4;
    s.fontUnderline = style & 8;
    s.color = a.at(6).toUInt();
    s.quality = a.at(7).toInt();
    s.outputFolder = a.at(8);
    return s;
}

// --window <settings...> <source...>: "Start Stamping" on an offscreen window; prints
// each error box's text on a line of its own, line breaks escaped.
int RunWindow(const QStringList& arguments) {
    const StampSettings s = FromArguments(arguments);
    FormFixture f;
    Choose(f.form.Combo1, s.mode);
    f.form.Combo2->setCurrentText(s.position);
    f.form.Text4->SetText(s.text);
    f.form.Text4->SetFontName(s.fontFamily);
    f.form.Text4->SetFontSize(s.fontSize);
    f.form.Text4->SetFontBold(s.fontBold);
    f.form.Text4->SetFontItalic(s.fontItalic);
    f.form.Text4->SetFontStrikethru(s.fontStrikeout);
    f.form.Text4->SetFontUnderline(s.fontUnderline);
    f.form.Text4->SetForeColor(s.color);
    f.form.Slider1->setValue(s.quality);
    f.form.Text1->setText(s.outputFolder);
    for (const QString& source : arguments.mid(9)) {
        f.form.ListView1->Add(source);
    }
    f.dialogs.clear();
    f.form.PushButton2_Click();
    for (QString error : f.dialogs.errors()) {
        std::printf("%s\n", qPrintable(error.replace("\r", "\\r").replace("\n", "\\n")));
    }
    return f.dialogs.messages().endsWith("Done.") ? 0 : 1;
}

// The engine's run of the same list: one stamper, the stamp text of each entry chosen as
// the window chooses it.
QStringList RunEngine(const StampSettings& settings, const QStringList& sources,
                      const QString& tempFolder) {
    SourceStamper stamper(tempFolder);
    QStringList errors;
    for (const QString& source : sources) {
        StampSettings entry = settings;
        entry.text = EntryStampText(settings.mode, source, settings.text);
        for (const SourceStamper::Failure& failure :
             stamper.Stamp(source, entry, int(sources.size()))) {
            errors << QString(failure.BoxText("Form1.PushButton2_Click"))
                          .replace("\r", "\\r")
                          .replace("\n", "\\n");
        }
    }
    return errors;
}

// Name -> bytes of every file in a folder.
QMap<QString, QByteArray> Files(const QString& folder) {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        files.insert(name, ReadFile(folder + "/" + name));
    }
    return files;
}

void CompareFolders(const QString& actual, const QString& expected) {
    const QMap<QString, QByteArray> a = Files(actual);
    const QMap<QString, QByteArray> e = Files(expected);
    QCOMPARE(a.keys(), e.keys());
    for (auto it = e.cbegin(); it != e.cend(); ++it) {
        const QByteArray mine = a.value(it.key());
        if (mine != it.value()) {
            qsizetype at = 0;
            while (at < mine.size() && at < it.value().size() && mine[at] == it.value()[at]) {
                ++at;
            }
            QFAIL(qPrintable(QString("The copies of %1 differ from byte %2 (%3 and %4 bytes)")
                                 .arg(it.key())
                                 .arg(at)
                                 .arg(mine.size())
                                 .arg(it.value().size())));
        }
    }
}

}  // namespace

class StampSourceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The engine's half runs without any widget application.
        QVERIFY(qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr);
        StartEngine();
    }

    void engineWritesWhatTheWindowWrites_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("position");
        QTest::addColumn<double>("size");
        QTest::addColumn<int>("style");
        QTest::addColumn<quint32>("color");
        QTest::addColumn<int>("quality");
        QTest::newRow("own text, lower right, bold red") << 0 << "Lower-right" << 20.0 << 1
                                                         << quint32(0x0000FF) << 90;
        QTest::newRow("file name, centre, italic underlined white")
            << 4 << "Center" << 14.5 << 10 << quint32(0xFFFFFF) << 75;
        QTest::newRow("name without extension, centre bottom, struck out")
            << 5 << "Center-bottom" << 11.0 << 4 << quint32(0x00FF00) << 100;
        QTest::newRow("full path, upper left, low quality")
            << 6 << "Upper-left" << 9.0 << 0 << quint32(0x123456) << 10;
    }
    void engineWritesWhatTheWindowWrites() {
        QFETCH(int, mode);
        QFETCH(QString, position);
        QFETCH(double, size);
        QFETCH(int, style);
        QFETCH(quint32, color);
        QFETCH(int, quality);
        QTemporaryDir dir;
        const QString sources = dir.path() + "/sources";
        const QString out = dir.path() + "/out";
        const QString windowCopies = dir.path() + "/window";
        QVERIFY(QDir().mkpath(sources) && QDir().mkpath(out) && QDir().mkpath(dir.path() + "/temp"));
        const QStringList paths = WriteSources(sources);

        StampSettings settings;
        settings.text = mode == 0 ? "Velloran\r\n% 100" : "Filename";
        settings.mode = mode;
        settings.position = position;
        settings.fontFamily = "DejaVu Sans";
        settings.fontSize = size;
        settings.fontBold = style & 1;
        settings.fontItalic = style & 2;
        settings.fontStrikeout = style & 4;
        settings.fontUnderline = style & 8;
        settings.color = color;
        settings.quality = quality;
        settings.outputFolder = out;

        // The window writes first, into the same output path the engine then uses, so the
        // paths inside the messages agree too.
        QProcess window;
        window.start(QCoreApplication::applicationFilePath(),
                     QStringList{"--window"} + ToArguments(settings) + paths);
        QVERIFY(window.waitForFinished(240000));
        QCOMPARE(window.exitCode(), 0);
        const QStringList windowErrors =
            QString::fromLocal8Bit(window.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(QDir().rename(out, windowCopies) && QDir().mkpath(out));

        const QStringList engineErrors = RunEngine(settings, paths, dir.path() + "/temp");
        QCOMPARE(engineErrors, windowErrors);
        // The damaged file, the vanished one and the TIFF under .tiff (which the loader
        // reads by content and does not know) fail in both.
        QCOMPARE(engineErrors.size(), 3);
        CompareFolders(out, windowCopies);
        QCOMPARE(Files(out).size(), kSourceNames.size() - 3);
    }

    // Stampers on several threads at once, each with its canvas and temporary folder,
    // write what one stamper writes alone.
    void threadsWriteWhatOneStamperWrites() {
        QTemporaryDir dir;
        const QString sources = dir.path() + "/sources";
        QVERIFY(QDir().mkpath(sources));
        const QStringList paths = WriteSources(sources);
        StampSettings settings;
        settings.mode = 4;
        settings.position = "Center";
        settings.fontFamily = "DejaVu Sans";
        settings.fontSize = 16;
        settings.color = 0xFFFFFF;
        settings.quality = 80;

        settings.outputFolder = dir.path() + "/alone";
        QVERIFY(QDir().mkpath(settings.outputFolder) && QDir().mkpath(dir.path() + "/t"));
        const QStringList aloneErrors = RunEngine(settings, paths, dir.path() + "/t");

        settings.outputFolder = dir.path() + "/threads";
        QVERIFY(QDir().mkpath(settings.outputFolder));
        constexpr int kThreads = 3;
        std::vector<std::thread> threads;
        QList<QStringList> errors(kThreads);
        for (int k = 0; k < kThreads; ++k) {
            const QString temp = dir.path() + "/t" + QString::number(k);
            QVERIFY(QDir().mkpath(temp));
            threads.emplace_back([&, k, temp] {
                QStringList mine;
                for (qsizetype i = k; i < paths.size(); i += kThreads) {
                    mine << paths.at(i);
                }
                errors[k] = RunEngine(settings, mine, temp);
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        CompareFolders(settings.outputFolder, dir.path() + "/alone");
        int threadErrors = 0;
        for (const QStringList& list : errors) {
            threadErrors += int(list.size());
        }
        QCOMPARE(threadErrors, int(aloneErrors.size()));
    }

    // A stamper without a temporary folder reports the PNG it cannot convert and writes
    // nothing under the root folder.
    void emptyTemporaryFolderIsRefused() {
        QTemporaryDir dir;
        const QString png = WriteTestImage(dir.path() + "/a.png", 40, 30, "PNG");
        StampSettings settings;
        settings.text = "x";
        settings.outputFolder = dir.path();
        SourceStamper stamper{QString()};
        const QList<SourceStamper::Failure> failures = stamper.Stamp(png, settings);
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures.first().label, 142);
        QCOMPARE(failures.first().number, 76);
        QCOMPARE(failures.first().description, QString("No temporary folder is available"));
        QVERIFY(failures.first()
                    .BoxText("Form1.PushButton2_Click")
                    .startsWith("No temporary folder is available\r\nin "));
        QVERIFY(failures.first()
                    .BoxText("Form1.PushButton2_Click")
                    .contains("Form1.PushButton2_Click at line 142"));
        QVERIFY(!QFile::exists("/StampTmp.jpg"));
    }
};

int main(int argc, char* argv[]) {
    if (argc > 1 && qstrcmp(argv[1], "--window") == 0) {
        QApplication app(argc, argv);
        return RunWindow(app.arguments().mid(2));
    }
    QGuiApplication app(argc, argv);
    StampSourceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "stamp_source_test.moc"

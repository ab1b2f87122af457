// SPDX-License-Identifier: MIT
// The style options of the built velloran-stamp, measured in the pixels of its copies:
// sizes relative to the picture, alpha kept, automatic colour, usage errors before any
// write, and copies without the options left as they were.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

struct Result {
    int exit = -1;
    QByteArray err;
};

// A run's own settings, home and folders; sources in in/, copies in out/.
class Scene {
public:
    Scene() {
        for (const char* sub : {"config", "temp", "home/Desktop", "in", "out"}) {
            QDir(dir.path()).mkpath(sub);
        }
    }
    QString path(const QString& sub) const { return dir.path() + '/' + sub; }

    // A lossless picture of one colour, so every changed pixel is the stamp's.
    QString plain(const QString& name, int width, int height, QColor color) const {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(color);
        image.save(path("in/" + name), "PNG");
        return "in/" + name;
    }

    // Stamps with the built-in settings, one upright "H" in a font every machine has.
    Result run(const QStringList& arguments) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("HOME", path("home"));
        env.insert("TEMP", path("temp"));
        env.insert("LC_ALL", "C.UTF-8");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(VELLORAN_STAMP_PATH, QStringList{"-Q", "--no-settings", "-t", "H", "-f",
                                                 "Liberation Sans,24", "-o", "out"} +
                                         arguments);
        Result r;
        if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit) {
            r.exit = p.exitCode();
        }
        r.err = p.readAllStandardError();
        return r;
    }

    QImage copy(const QString& name) const {
        return QImage(path("out/" + name)).convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir dir;
};

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The ink's height in pixels, antialiased rows counted by their share: on a plain
// background, each row's largest change from it, summed.
double InkHeight(const QImage& image, QRgb background) {
    double height = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int most = 0;
        for (int x = 0; x < image.width(); ++x) {
            most = std::max(most, std::abs(qGray(row[x]) - qGray(background)));
        }
        height += most / 255.0;
    }
    return height;
}

// The pixels the stamp changed, by their grey level: the lowest and the highest.
std::pair<int, int> InkGreyRange(const QImage& image, QRgb background) {
    int lowest = 255;
    int highest = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] != background) {
                lowest = std::min(lowest, qGray(row[x]));
                highest = std::max(highest, qGray(row[x]));
            }
        }
    }
    return {lowest, highest};
}

}  // namespace

class StampStyleCliTest : public QObject {
    Q_OBJECT

private slots:
    // The cap height of "H" is the same share of the shorter side on small, large and
    // portrait pictures.
    void sizeIsAShareOfTheShorterSide_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("640x480") << 640 << 480;
        QTest::newRow("3000x2000") << 3000 << 2000;
        QTest::newRow("portrait 2000x3000") << 2000 << 3000;
    }
    void sizeIsAShareOfTheShorterSide() {
        QFETCH(int, width);
        QFETCH(int, height);
        Scene s;
        const QString source = s.plain("a.png", width, height, Qt::black);
        QCOMPARE(s.run({"--size", "3%", "-c", "white", "-p", "center", source}).exit, 0);
        const double share = InkHeight(s.copy("a.png"), qRgb(0, 0, 0)) / std::min(width, height);
        QVERIFY2(std::abs(share - 0.03) <= 0.03 * 0.05, qPrintable(QString::number(share)));
    }

    // Half-transparent red over white is drawn as the half-way blend, not as opaque red
    // and not left out.
    void alphaIsAHalfBlend() {
        Scene s;
        const QString source = s.plain("a.png", 400, 300, Qt::white);
        QCOMPARE(s.run({"--size", "30%", "-c", "#80FF0000", "-p", "center", source}).exit, 0);
        const QImage copy = s.copy("a.png");
        // Inside the H's stem the text covers the pixel fully.
        int deepest = 255;
        QRgb inStem = qRgb(255, 255, 255);
        for (int y = 0; y < copy.height(); ++y) {
            for (int x = 0; x < copy.width(); ++x) {
                if (qGreen(copy.pixel(x, y)) < deepest) {
                    deepest = qGreen(copy.pixel(x, y));
                    inStem = copy.pixel(x, y);
                }
            }
        }
        QVERIFY2(qRed(inStem) >= 253 && std::abs(qGreen(inStem) - 127) <= 3 &&
                     std::abs(qBlue(inStem) - 127) <= 3,
                 qPrintable(QColor(inStem).name()));
    }

    // "auto" writes the colour of higher contrast: black on a white sky, white on a night.
    void autoColourStandsOut_data() {
        QTest::addColumn<QColor>("background");
        QTest::addColumn<bool>("darkText");
        QTest::newRow("white sky") << QColor(Qt::white) << true;
        QTest::newRow("black night") << QColor(Qt::black) << false;
        QTest::newRow("pale sky") << QColor(200, 220, 255) << true;
    }
    void autoColourStandsOut() {
        QFETCH(QColor, background);
        QFETCH(bool, darkText);
        Scene s;
        const QString source = s.plain("a.png", 640, 480, background);
        QCOMPARE(s.run({"--size", "5%", "--color", "auto", source}).exit, 0);
        const auto [lowest, highest] = InkGreyRange(s.copy("a.png"), background.rgb());
        if (darkText) {
            QVERIFY2(lowest <= 10, qPrintable(QString::number(lowest)));
        } else {
            QVERIFY2(highest >= 245, qPrintable(QString::number(highest)));
        }
    }

    // A value the options cannot take stops the run before anything is written, with the
    // option and the reason, in every form it can be given.
    void badValuesAreUsageErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("size without unit") << QStringList{"--size", "3"} << QByteArray("--size");
        QTest::newRow("size zero") << QStringList{"--size", "0%"} << QByteArray("--size");
        QTest::newRow("margin too large") << QStringList{"--margin", "30%"}
                                          << QByteArray("--margin");
        QTest::newRow("outline joined") << QStringList{"--outline=2pz"} << QByteArray("--outline");
        QTest::newRow("shadow word") << QStringList{"--shadow", "2pz"} << QByteArray("--shadow");
        QTest::newRow("box alpha last") << QStringList{"--box", "0.4em,#00000080"}
                                        << QByteArray("fully transparent");
        QTest::newRow("colour alpha last") << QStringList{"-c", "#00000080"}
                                           << QByteArray("fully transparent");
        QTest::newRow("auto with one colour") << QStringList{"-c", "auto:#FFFFFF"}
                                              << QByteArray("--color");
    }
    void badValuesAreUsageErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, message);
        Scene s;
        const QString source = s.plain("a.png", 64, 48, Qt::gray);
        const Result r = s.run(arguments + QStringList{source});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(message), r.err.constData());
        QCOMPARE(QDir(s.path("out")).entryList(QDir::Files), QStringList());
    }

    // An opaque colour in any spelling is today's colour: the same bytes. A style option
    // given as "=VALUE" or as the next word is the same style, and left without a value it
    // leaves the next word to be a source.
    void sameStyleSameBytes_data() {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<bool>("same");
        QTest::newRow("opaque alpha is today's colour")
            << QStringList{"-c", "#FFFF0000"} << QStringList{"-c", "red"} << true;
        QTest::newRow("half alpha is not") << QStringList{"-c", "#80FF0000"}
                                           << QStringList{"-c", "red"} << false;
        QTest::newRow("outline word and joined")
            << QStringList{"--outline", "3px"} << QStringList{"--outline=3px"} << true;
        QTest::newRow("outline alone")
            << QStringList{"--outline"} << QStringList{"--outline="} << true;
        QTest::newRow("box alone is a box") << QStringList{"--box"} << QStringList{} << false;
    }
    void sameStyleSameBytes() {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(bool, same);
        Scene s;
        const QString source = s.plain("a.png", 320, 240, QColor(90, 120, 160));
        QCOMPARE(s.run(first + QStringList{source}).exit, 0);
        QVERIFY(QFile::rename(s.path("out/a.png"), s.path("first.png")));
        QCOMPARE(s.run(second + QStringList{source}).exit, 0);
        QCOMPARE(Bytes(s.path("first.png")) == Bytes(s.path("out/a.png")), same);
    }
};

QTEST_MAIN(StampStyleCliTest)
#include "stamp_style_cli_test.moc"

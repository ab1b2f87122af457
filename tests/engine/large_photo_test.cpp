// SPDX-License-Identifier: MIT
// Camera-sized photos stamp from the terminal as in the engine: the companion, started as
// a user starts it, writes the same bytes as the engine's own run of the same settings,
// up to a 100-megapixel photo. A program that skips the engine's start-up refuses them.
#include "engine/engine_start.h"
#include "engine/stamp_source.h"
#include "support/jpeg_rows.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <jpeglib.h>

#include <cstdio>

namespace {

// The JPEG's size as its header gives it, read by libjpeg apart from the code under test.
QSize JpegSize(const QString& path) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (file == nullptr) {
        return {};
    }
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    const QSize size(int(info.image_width), int(info.image_height));
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return size;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class LargePhotoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { StartEngine(); }

    void companionStampsAsTheEngine_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("36 megapixels") << 6000 << 6000;
        QTest::newRow("72 megapixels") << 9000 << 8000;
        QTest::newRow("120 megapixels") << 12000 << 10000;
        QTest::newRow("100 megapixels, 4:3") << 11548 << 8660;
    }
    void companionStampsAsTheEngine() {
        QFETCH(int, width);
        QFETCH(int, height);
        QTemporaryDir dir;
        QDir root(dir.path());
        for (const char* sub : {"in", "companion", "engine", "temp", "config", "home"}) {
            QVERIFY(root.mkpath(sub));
        }
        // A sky-like gradient down the rows, cheap to write at any size.
        const QString source = dir.filePath("in/camera.jpg");
        JpegRecipe recipe;
        recipe.width = width;
        recipe.height = height;
        recipe.quality = 80;
        QVERIFY(WriteJpegRows(QFile::encodeName(source).constData(), recipe,
                              [&](int y, JSAMPLE* row) {
                                  for (int x = 0; x < width; ++x) {
                                      row[3 * x] = JSAMPLE(40 + y * 150 / height);
                                      row[3 * x + 1] = JSAMPLE(90 + x * 100 / width);
                                      row[3 * x + 2] = JSAMPLE(200 - y * 120 / height);
                                  }
                              }));

        QProcess companion;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("HOME", dir.filePath("home"));
        env.insert("TEMP", dir.filePath("temp"));
        env.insert("LC_ALL", "C.UTF-8");
        companion.setProcessEnvironment(env);
        companion.start(VELLORAN_STAMP_PATH,
                        {"--no-settings", "-Q", "-j", "1", "-t", "Taken 2026", "-p", "lower-right",
                         "-f", "Liberation Sans,96,bold", "-c", "#FF8000", "-q", "85", "-o",
                         dir.filePath("companion"), source});
        QVERIFY(companion.waitForFinished(600000));
        QVERIFY2(companion.exitCode() == 0, companion.readAllStandardError().constData());

        StampSettings settings;
        settings.text = QStringLiteral("Taken 2026");
        settings.position = QStringLiteral("Lower-right");
        settings.fontFamily = QStringLiteral("Liberation Sans");
        settings.fontSize = 96;
        settings.fontBold = true;
        settings.color = 0x0080FF;
        settings.quality = 85;
        settings.outputFolder = dir.filePath("engine");
        const QString temp = dir.filePath("temp/engine");
        QVERIFY(root.mkpath(temp));
        {
            SourceStamper stamper(temp);
            const QList<SourceStamper::Failure> failures = stamper.Stamp(source, settings);
            QVERIFY2(failures.isEmpty(), qPrintable(failures.value(0).description));
        }

        const QString copy = dir.filePath("companion/camera.jpg");
        QCOMPARE(JpegSize(copy), QSize(width, height));
        const QByteArray bytes = FileBytes(copy);
        QVERIFY(!bytes.isEmpty());
        QVERIFY(bytes == FileBytes(dir.filePath("engine/camera.jpg")));
    }
};

// No widget application: the engine stamps with a plain one.
int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    LargePhotoTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "large_photo_test.moc"

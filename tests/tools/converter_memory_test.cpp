// SPDX-License-Identifier: MIT
// velloran-convert short of memory: wherever an allocation fails (reading, on either of the
// TIFF writer's threads, inside libtiff's or libpng's output callbacks), it ends with its one
// line and exit code 1, never by a signal. GIF and ICO are not swept: Qt's smooth scaling
// and the palette search wait for ever on a worker thread that could not be started.

#include "converter_within.h"
#include "support/test_environment.h"
#include "support/test_images.h"

#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// The least address space the converter starts in, found from its --help (to 8 MB).
qint64 StartingMegabytes() {
    qint64 start = 16;
    while (start < 1024 && RunConverterWithin(start, {"--help"}).exitCode != 0) {
        start += 8;
    }
    return start;
}

}  // namespace

class ConverterMemoryTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void outOfMemoryIsOneLine_data() {
        QTest::addColumn<QString>("format");
        for (const char* format : {"tiff", "png"}) {
            QTest::newRow(format) << QString::fromLatin1(format);
        }
    }
    void outOfMemoryIsOneLine() {
        QFETCH(QString, format);
        if (kAddressSanitizer) {
            QSKIP("the address sanitizer cannot run in a limited address space");
        }
        // The picture needs a few dozen MB more than the program starts in, and every limit
        // on the way is tried.
        const qint64 start = StartingMegabytes();
        QVERIFY(start < 1024);
        const QByteArray bitmap = Encoded(NoisyImage(1500, 1500).convertToFormat(
                                              QImage::Format_RGB888),
                                          "bmp");
        const QString path = dir_.filePath(QStringLiteral("picture.") + format);
        int failures = 0;
        for (qint64 megabytes = start; megabytes < start + 72; megabytes += 3) {
            WriteFile(path, bitmap);
            const ConverterOutcome outcome = RunConverterWithin(megabytes, {"-out", format, path});
            QVERIFY2(outcome.normalExit && (outcome.exitCode == 0 || outcome.exitCode == 1),
                     qPrintable(QStringLiteral("%1 MB: exit %2 (%3)")
                                    .arg(megabytes)
                                    .arg(outcome.exitCode)
                                    .arg(outcome.normalExit ? "normal" : "signal")));
            if (outcome.exitCode == 1) {
                ++failures;
                QVERIFY2(outcome.err.count('\n') == 1, outcome.err.constData());
            }
        }
        // The sweep reached the limits where the picture does not fit.
        QVERIFY(failures > 0);
    }

    // A 400 MB file whose header declares a picture beyond the limit is refused as too
    // large within 64 MB more than the program needs to start: only its head is read.
    void largeFilesRefusedByTheirHeader_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("reason");
        QByteArray jpeg = Encoded(NoisyImage(96, 64), "jpeg");
        const qsizetype frame = jpeg.indexOf("\xFF\xC0");
        QVERIFY(frame > 0);
        qToBigEndian<quint16>(60000, jpeg.data() + frame + 5);
        qToBigEndian<quint16>(60000, jpeg.data() + frame + 7);
        QTest::newRow("jpeg") << jpeg << QStringLiteral("too large (60000 x 60000 pixels)");
        QByteArray png = Encoded(NoisyImage(96, 64), "png");
        qToBigEndian<quint32>(60000, png.data() + 16);
        qToBigEndian<quint32>(60000, png.data() + 20);
        QTest::newRow("png") << png << QStringLiteral("too large (60000 x 60000 pixels)");
        QByteArray bmp = Encoded(NoisyImage(96, 64), "bmp");
        qToLittleEndian<qint32>(60000, bmp.data() + 18);
        qToLittleEndian<qint32>(60000, bmp.data() + 22);
        QTest::newRow("bmp") << bmp << QStringLiteral("too large (60000 x 60000 pixels)");
        QTest::newRow("gif") << HugeGifHead() << QStringLiteral("the picture is too large");
        // libtiff writes its directory after the strips: within the head of a small picture.
        QByteArray tiff = Encoded(NoisyImage(96, 64), "tiff");
        const quint32 directory = qFromLittleEndian<quint32>(tiff.constData() + 4);
        const int entries = qFromLittleEndian<quint16>(tiff.constData() + directory);
        for (int i = 0; i < entries; ++i) {
            char* entry = tiff.data() + directory + 2 + 12 * i;
            const quint16 tag = qFromLittleEndian<quint16>(entry);
            if (tag == 256 || tag == 257) {
                // SHORT or LONG, the value left-justified in its 4 bytes.
                if (qFromLittleEndian<quint16>(entry + 2) == 3) {
                    qToLittleEndian<quint16>(60000, entry + 8);
                } else {
                    qToLittleEndian<quint32>(60000, entry + 8);
                }
            }
        }
        QTest::newRow("tiff") << tiff << QStringLiteral("too large (60000 x 60000 pixels)");
    }
    void largeFilesRefusedByTheirHeader() {
        QFETCH(QByteArray, head);
        QFETCH(QString, reason);
        if (kAddressSanitizer) {
            QSKIP("the address sanitizer cannot run in a limited address space");
        }
        const qint64 start = StartingMegabytes();
        const QString path = WriteFile(dir_.filePath(QStringLiteral("large")), head);
        QVERIFY(::truncate(QFile::encodeName(path).constData(), 400 << 20) == 0);
        const ConverterOutcome outcome =
            RunConverterWithin(start + 64, {"-out", "png", "-o", dir_.filePath("out.png"), path});
        QVERIFY(outcome.normalExit);
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.err.contains(reason.toUtf8()), outcome.err.constData());
    }

    // A stamped picture handed over as a 24-bit bitmap is encoded from the file's own
    // buffer: the copy needs little more than the file, never the file and a decoded
    // picture beside it (108 MB + 144 MB for this one).
    void bitmapNotHeldTwice_data() {
        QTest::addColumn<QString>("format");
        for (const char* format : {"png", "gif"}) {
            QTest::newRow(format) << QString::fromLatin1(format);
        }
    }
    void bitmapNotHeldTwice() {
        QFETCH(QString, format);
        if (kAddressSanitizer) {
            QSKIP("the address sanitizer cannot run in a limited address space");
        }
        const QString path = dir_.filePath(QStringLiteral("stamped.bmp"));
        if (!QFile::exists(path)) {
            QImage picture(6000, 6000, QImage::Format_RGB888);
            for (int y = 0; y < picture.height(); ++y) {
                uchar* row = picture.scanLine(y);
                for (int x = 0; x < picture.width(); ++x) {
                    row[3 * x] = uchar(x * 255 / picture.width());
                    row[3 * x + 1] = uchar(y * 255 / picture.height());
                    row[3 * x + 2] = 128;
                }
            }
            QVERIFY(picture.save(path, "BMP"));
        }
        const qint64 fileMb = QFileInfo(path).size() >> 20;
        const QString copy = dir_.filePath(QStringLiteral("copy.") + format);
        const ConverterOutcome outcome = RunConverterWithin(
            StartingMegabytes() + fileMb + 96, {"-out", format, "-o", copy, path});
        QVERIFY2(outcome.normalExit && outcome.exitCode == 0, outcome.err.constData());
        QCOMPARE(QImageReader(copy).size(), QSize(6000, 6000));
    }
};

QTEST_GUILESS_MAIN(ConverterMemoryTest)
#include "converter_memory_test.moc"

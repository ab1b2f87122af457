// SPDX-License-Identifier: MIT
// The converter's JPEG writer: rows taken straight from the formats its readers give make
// the bytes Qt's conversion of those rows made; the bytes reach a sink in pieces, and a
// sink's failure is the writer's.

#include "jpeg444_writer.h"
#include "support/test_images.h"

#include <QtTest>

namespace {

// The same pixels in a format every row of which goes through Qt's conversion.
QByteArray ThroughQt(const QImage& image) {
    QByteArray jpeg;
    QString error;
    const QImage generic = image.convertToFormat(QImage::Format_ARGB32);
    return velloran::convert::encodeJpeg444(generic, &jpeg, &error) ? jpeg : QByteArray();
}

}  // namespace

class ConverterJpeg444WriterTest : public QObject {
    Q_OBJECT

private slots:
    void rowsAsQtConvertsThem_data() {
        QTest::addColumn<QImage>("image");
        // 97 wide: rows of 3 bytes a pixel end off a four-byte boundary.
        const QImage photo = NoisyImage(97, 40);
        QImage translucent = photo.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < translucent.height(); ++y) {
            for (int x = 0; x < translucent.width(); ++x) {
                const QRgb p = translucent.pixel(x, y);
                translucent.setPixel(x, y, qRgba(qRed(p), qGreen(p), qBlue(p), x * 255 / 96));
            }
        }
        QTest::newRow("rgb888") << photo.convertToFormat(QImage::Format_RGB888);
        QTest::newRow("bgr888") << photo.convertToFormat(QImage::Format_BGR888);
        QTest::newRow("grey") << photo.convertToFormat(QImage::Format_Grayscale8);
        QTest::newRow("rgb32") << photo;
        QTest::newRow("argb32 premultiplied")
            << translucent.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QTest::newRow("rgba8888 premultiplied")
            << translucent.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    }
    void rowsAsQtConvertsThem() {
        QFETCH(QImage, image);
        QByteArray jpeg;
        QString error;
        QVERIFY2(velloran::convert::encodeJpeg444(image, &jpeg, &error), qPrintable(error));
        const QByteArray expected = ThroughQt(image);
        QVERIFY(!expected.isEmpty());
        QVERIFY(jpeg == expected);
    }

    // A picture of several buffers' worth reaches the sink in pieces that join into the
    // whole file; a sink that fails part-way fails the writing with its own reason.
    void piecesAndFailures_data() {
        QTest::addColumn<int>("failingPiece");  // -1: none fails
        QTest::newRow("all pieces taken") << -1;
        QTest::newRow("first piece refused") << 0;
        QTest::newRow("third piece refused") << 2;
    }
    void piecesAndFailures() {
        QFETCH(int, failingPiece);
        const QImage image = NoisyImage(600, 400).convertToFormat(QImage::Format_RGB888);
        QByteArray whole;
        QString error;
        QVERIFY(velloran::convert::encodeJpeg444(image, &whole, &error));
        QByteArray joined;
        int pieces = 0;
        const velloran::convert::JpegSink sink = [&](const char* bytes, qsizetype size,
                                                     QString* failure) {
            if (pieces++ == failingPiece) {
                *failure = QStringLiteral("the disk is full");
                return false;
            }
            joined.append(bytes, size);
            return true;
        };
        const bool written = velloran::convert::encodeJpeg444(image, sink, &error);
        if (failingPiece < 0) {
            QVERIFY(written);
            QVERIFY(pieces > 3);
            QVERIFY(joined == whole);
        } else {
            QVERIFY(!written);
            QCOMPARE(error, QStringLiteral("the disk is full"));
            // Nothing is handed on after the failure.
            QCOMPARE(joined.size(), qsizetype(failingPiece) * (64 << 10));
        }
    }
};

QTEST_GUILESS_MAIN(ConverterJpeg444WriterTest)
#include "converter_jpeg444_writer_test.moc"

// SPDX-License-Identifier: MIT
// The WebP and JPEG XL writers: their chosen encoder options keep a copy's quality and size
// in a band around the libraries' defaults (cwebp's and cjxl's), a lossless copy stays
// lossless at about the defaults' size, and options the encoder cannot take are failures.
#include "engine/modern_writers.h"
#include "imageio/jxl_decoder.h"
#include "imageio/webp_decoder.h"
#include "support/photo_image.h"
#include "support/raised.h"
#include "support/test_images.h"

#include <QBuffer>
#include <QPainter>
#include <QtTest>

#include <cmath>

namespace {

enum class Format { WebP, WebPLossless, Jxl };

struct Copy {
    QByteArray bytes;
    QImage picture;
};

Copy Encode(const QImage& picture, Format format, int quality, const EncoderOptions* options) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    PictureFacts facts;
    facts.lossless = format == Format::WebPLossless;
    if (format == Format::Jxl) {
        options ? WriteJxlWithOptions(picture, quality, facts, buffer, *options)
                : WriteJxl(picture, quality, facts, buffer);
    } else {
        options ? WriteWebPWithOptions(picture, quality, facts, buffer, *options)
                : WriteWebP(picture, quality, facts, buffer);
    }
    const DecodedPicture decoded =
        format == Format::Jxl ? DecodeJxl(buffer.data(), 0) : DecodeWebP(buffer.data(), 0);
    return {buffer.data(), decoded.image.convertToFormat(QImage::Format_RGB32)};
}

// PSNR of the luma (BT.601): what the settings were chosen on. The colours' PSNR of a
// synthetic picture follows its saturated blobs more than anything a viewer would see.
double LumaPsnr(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const double d = 0.299 * (qRed(p) - qRed(q)) + 0.587 * (qGreen(p) - qGreen(q)) +
                             0.114 * (qBlue(p) - qBlue(q));
            sum += d * d;
        }
    }
    const double mse = sum / (double(a.width()) * a.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// A photo with a stamp on it, as the batch hands it to a writer.
QImage StampedPhoto() {
    QImage picture = PhotoLike(480, 320);
    QPainter painter(&picture);
    painter.setFont(QFont(QStringLiteral("Liberation Sans"), 22, QFont::Bold));
    painter.setPen(QColor(255, 255, 0));
    painter.drawText(QRect(10, 250, 460, 60), Qt::AlignLeft, QStringLiteral("12/8/2026 6:30 AM"));
    return picture;
}

// A drawing with flat colours, lines and text, such as lossless copies mostly hold: where
// a lossless encoder's effort shows in the size.
QImage Drawing() {
    QImage picture(1200, 800, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(50, 50, 550, 350, QColor(32, 96, 192));
    painter.setBrush(QColor(224, 64, 32));
    painter.drawEllipse(QPoint(800, 400), 150, 150);
    painter.setPen(QPen(Qt::black, 3));
    painter.drawLine(0, 0, 1199, 799);
    painter.setFont(QFont(QStringLiteral("Liberation Sans"), 30));
    painter.drawText(100, 700, QStringLiteral("Drawing with text 123"));
    return picture;
}

}  // namespace

Q_DECLARE_METATYPE(Format)

class WebpJxlWriterTest : public QObject {
    Q_OBJECT

private slots:
    // Measured against the defaults on the same picture in the same run: the chosen options
    // may not spend more bytes or give a worse copy. WebP's method 2 (5 % more bytes at
    // quality 70, 0.9 dB less at 95), JPEG XL's effort 4 (20 % more bytes at 70, 2 dB less
    // at 95) or a quality lost on the way break the band.
    void copyStaysInBand_data() {
        QTest::addColumn<Format>("format");
        QTest::addColumn<int>("quality");
        QTest::addColumn<double>("floorDb");
        QTest::newRow("webp q70") << Format::WebP << 70 << 37.0;
        QTest::newRow("webp q85") << Format::WebP << 85 << 39.0;
        QTest::newRow("webp q95") << Format::WebP << 95 << 45.0;
        QTest::newRow("jxl q70") << Format::Jxl << 70 << 37.5;
        QTest::newRow("jxl q85") << Format::Jxl << 85 << 38.5;
        QTest::newRow("jxl q95") << Format::Jxl << 95 << 44.5;
    }
    void copyStaysInBand() {
        QFETCH(Format, format);
        QFETCH(int, quality);
        QFETCH(double, floorDb);
        const QImage picture = StampedPhoto();
        const EncoderOptions defaults;
        const Copy reference = Encode(picture, format, quality, &defaults);
        const Copy copy = Encode(picture, format, quality, nullptr);
        QCOMPARE(copy.picture.size(), picture.size());
        const double psnr = LumaPsnr(picture, copy.picture);
        const double referencePsnr = LumaPsnr(picture, reference.picture);
        const QString measured = QStringLiteral("chosen %1 bytes %2 dB, defaults %3 bytes %4 dB")
                                     .arg(copy.bytes.size())
                                     .arg(psnr, 0, 'f', 2)
                                     .arg(reference.bytes.size())
                                     .arg(referencePsnr, 0, 'f', 2);
        QVERIFY2(psnr >= floorDb, qPrintable(measured));
        QVERIFY2(psnr >= referencePsnr - 0.2, qPrintable(measured));
        QVERIFY2(copy.bytes.size() <= reference.bytes.size() * 103 / 100, qPrintable(measured));
        QVERIFY2(copy.bytes.size() >= reference.bytes.size() * 85 / 100, qPrintable(measured));
    }

    // A lossless copy gives every pixel back, at no more than 3 % over the defaults' size on
    // the pictures where a lower effort costs the most.
    void losslessCopyStaysLossless_data() {
        QTest::addColumn<Format>("format");
        QTest::addColumn<bool>("drawing");
        QTest::newRow("webp drawing") << Format::WebPLossless << true;
        QTest::newRow("webp photo") << Format::WebPLossless << false;
        QTest::newRow("jxl drawing") << Format::Jxl << true;
    }
    void losslessCopyStaysLossless() {
        QFETCH(Format, format);
        QFETCH(bool, drawing);
        const QImage picture = drawing ? Drawing() : StampedPhoto();
        const EncoderOptions defaults;
        const Copy reference = Encode(picture, format, 100, &defaults);
        const Copy copy = Encode(picture, format, 100, nullptr);
        QCOMPARE(Psnr(picture, copy.picture), 99.0);
        QVERIFY2(copy.bytes.size() <= reference.bytes.size() * 103 / 100,
                 qPrintable(QStringLiteral("chosen %1 bytes, defaults %2 bytes")
                                .arg(copy.bytes.size())
                                .arg(reference.bytes.size())));
    }

    // An option the encoder does not know or cannot take fails the copy instead of being
    // left out silently.
    void refusedOptionIsAFailure_data() {
        QTest::addColumn<Format>("format");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("value");
        QTest::newRow("webp unknown") << Format::WebP << QByteArray("effort") << 6;
        QTest::newRow("webp method 7") << Format::WebP << QByteArray("method") << 7;
        QTest::newRow("jxl unknown") << Format::Jxl << QByteArray("method") << 3;
        QTest::newRow("jxl effort 10") << Format::Jxl << QByteArray("effort") << 10;
    }
    void refusedOptionIsAFailure() {
        QFETCH(Format, format);
        QFETCH(QByteArray, name);
        QFETCH(int, value);
        const EncoderOptions options{{name, value}};
        const VbError error = Raised([&] { Encode(PhotoLike(32, 32), format, 85, &options); });
        QCOMPARE(error.number(), 5);
    }
};

QTEST_MAIN(WebpJxlWriterTest)
#include "webp_jxl_writer_test.moc"

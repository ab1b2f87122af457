// SPDX-License-Identifier: MIT
#include "engine/stamp_drawing.h"
#include "engine_fixture.h"

#include "core/canvas.h"
#include "core/overlay_text.h"
#include "engine/collecting_dialogs.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtTest>

namespace {

// A grey JPEG of `stored` pixels whose EXIF Orientation says to turn it by a quarter
// clockwise for display (6), so upright it is `stored` transposed.
QByteArray TurnedJpeg(QSize stored) {
    QImage image(stored, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    if (!writer.write(image)) {
        return {};
    }
    // APP1 "Exif", a big-endian TIFF header and IFD0 with the one entry Orientation = 6.
    const QByteArray tiff = QByteArray::fromHex("4d4d002a00000008"
                                                "0001"
                                                "011200030000000100060000"
                                                "00000000");
    QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    const int length = static_cast<int>(app1.size()) + 2;
    app1.prepend(char(length & 0xFF)).prepend(char(length >> 8));
    app1.prepend("\xFF\xE1", 2);
    return jpeg.insert(2, app1);
}

// The bounding box of the red box's pixels, as a viewer shows the copy.
QRect RedBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) > 180 && qGreen(p) < 90 && qBlue(p) < 90) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

}  // namespace

class StampDrawingTest : public QObject {
    Q_OBJECT

private slots:
    // A photo taken with the camera turned is stamped at the corner of the picture as it
    // is seen, not as its pixels are stored.
    void turnedPhotoStampedAtItsUprightCorner_data() {
        QTest::addColumn<QString>("position");
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("top");
        QTest::newRow("Upper-left") << "Upper-left" << true << true;
        QTest::newRow("Lower-right") << "Lower-right" << false << false;
        QTest::newRow("Center-right") << "Center-right" << false << true;
    }
    void turnedPhotoStampedAtItsUprightCorner() {
        QFETCH(QString, position);
        QFETCH(bool, left);
        QFETCH(bool, top);
        EngineFixture f;
        const QString source = f.sources + "/turned.jpg";
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(TurnedJpeg(QSize(600, 400))) > 0);
        file.close();

        f.settings.position = position;
        StampStyle style;
        style.size = StampLength{StampLength::Unit::ShorterSide, 0.05};
        style.margin = StampLength{StampLength::Unit::Pixels, 10};
        style.box = StampDecoration{std::nullopt, qRgb(220, 0, 0)};
        f.settings.style = style;
        QCOMPARE(f.stamp(source), QStringList());

        QImageReader reader(f.output + "/turned.jpg");
        reader.setAutoTransform(true);
        const QImage copy = reader.read();
        QCOMPARE(copy.size(), QSize(400, 600));
        const QRect box = RedBox(copy);
        QVERIFY(!box.isNull());
        QVERIFY2(box.width() < 400 && box.height() < 100,
                 qPrintable(QStringLiteral("%1x%2").arg(box.width()).arg(box.height())));
        // Within the 10-pixel margin (and the JPEG's blur) of the chosen sides.
        QVERIFY(left ? box.left() <= 12 : box.right() >= 400 - 13);
        if (position == "Center-right") {
            QVERIFY(std::abs(box.center().y() - 300) <= 3);
        } else {
            QVERIFY(top ? box.top() <= 12 : box.bottom() >= 600 - 13);
        }
    }

    // Without a style the window's stamp is drawn, pixel for pixel; any style, even one
    // with every member unset, takes the styled drawing.
    void noStyleDrawsTheWindowsStamp() {
        QImage picture(200, 100, QImage::Format_RGB32);
        picture.fill(Qt::black);
        StampSettings settings;
        settings.text = "WINDOW";
        settings.position = "Upper-left";
        settings.fontFamily = "DejaVu Sans";
        settings.fontSize = 12;
        settings.color = 0xFFFFFF;
        const auto draw = [&](const StampSettings& s) {
            Canvas canvas;
            canvas.SetPicture(picture);
            ApplyStampFont(canvas, s);
            CollectingDialogs dialogs;
            DrawStamp(canvas, s, dialogs);
            return canvas.Image();
        };
        const QImage window = draw(settings);
        Canvas reference;
        reference.SetPicture(picture);
        ApplyStampFont(reference, settings);
        CollectingDialogs dialogs;
        OverlayText2(reference, settings.text, settings.position, dialogs);
        QCOMPARE(window, reference.Image());
        settings.style = StampStyle{};
        QVERIFY(draw(settings) != window);
    }
};

QTEST_MAIN(StampDrawingTest)
#include "stamp_drawing_test.moc"

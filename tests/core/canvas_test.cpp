// SPDX-License-Identifier: MIT
#include "core/canvas.h"
#include "ink.h"

#include <QHash>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr double kTwips = 15.0;

QFont Arial(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    return font;
}

void UseFont(Canvas& canvas, double points, bool bold = false) {
    canvas.SetFontName(QStringLiteral("Arial"));
    canvas.SetFontSize(points);
    canvas.SetFontBold(bold);
}

QImage ReadImage(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read();
}

}  // namespace

class CanvasTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void textWidthIsTheWidestLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("widest");
        QTest::newRow("one line") << u"Stamp"_s << u"Stamp"_s;
        QTest::newRow("widest last") << u"ab\r\nabcdef"_s << u"abcdef"_s;
        QTest::newRow("widest first") << u"WWWW\r\ni"_s << u"WWWW"_s;
        QTest::newRow("lone CR and LF stay in the line") << u"ab\rcd\nef"_s << u"ab\rcd\nef"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void textWidthIsTheWidestLine() {
        QFETCH(QString, text);
        QFETCH(QString, widest);
        Canvas canvas;
        UseFont(canvas, 24);
        const double expected = Metrics96(Arial(24)).horizontalAdvance(widest) * kTwips;
        QCOMPARE(canvas.TextWidth(text), expected);
        // Measuring must not depend on the picture's resolution either.
        QImage photo = PlainImage(50, 50);
        photo.setDotsPerMeterX(11811);
        photo.setDotsPerMeterY(11811);
        canvas.SetPicture(photo);
        QCOMPARE(canvas.TextWidth(text), expected);
    }

    void textHeightCountsLinesSplitAtCrLf_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::newRow("empty") << "" << 1;
        QTest::newRow("one") << "a" << 1;
        QTest::newRow("two") << "a\r\nb" << 2;
        QTest::newRow("three") << "a\r\nb\r\nc" << 3;
        QTest::newRow("trailing CR LF") << "a\r\n" << 2;
        QTest::newRow("only CR LFs") << "\r\n\r\n" << 3;
        QTest::newRow("lone CR") << "a\rb" << 1;
        QTest::newRow("lone LF") << "a\nb" << 1;
        QTest::newRow("LF CR") << "a\n\rb" << 1;
    }
    void textHeightCountsLinesSplitAtCrLf() {
        QFETCH(QString, text);
        QFETCH(int, lines);
        Canvas canvas;
        UseFont(canvas, 24);
        QCOMPARE(canvas.TextHeight(text), lines * Metrics96(Arial(24)).lineSpacing() * kTwips);
    }

    void printStartsLaterLinesAtTheLeftEdge() {
        Canvas canvas;
        canvas.SetPicture(PlainImage(300, 200));
        UseFont(canvas, 24);
        const QImage before = canvas.Image();
        canvas.CurrentX = 1500;
        canvas.CurrentY = 300;
        canvas.Print(QStringLiteral("H\r\nH"));

        const double ls = Metrics96(Arial(24)).lineSpacing();
        const QImage after = canvas.Image();
        const QRect first = InkBox(after, before, Band(after, 20, ls));
        const QRect second = InkBox(after, before, Band(after, 20 + ls, ls));
        QVERIFY(!first.isNull() && !second.isNull());
        QVERIFY2(first.left() >= 100, qPrintable(QString::number(first.left())));
        QVERIFY2(second.left() < 10, qPrintable(QString::number(second.left())));
        QCOMPARE(second.size(), first.size());
        QVERIFY(std::abs(second.top() - first.top() - ls) <= 1);
        QCOMPARE(canvas.CurrentX, 0.0);
        QCOMPARE(canvas.CurrentY, 300 + 2 * ls * kTwips);
    }

    void printLeavesTheBackgroundAlone() {
        // Noise shows any box, shadow or outline drawn behind the glyphs.
        QImage noise = PlainImage(300, 220);
        QRandomGenerator random(7);
        for (int y = 0; y < noise.height(); ++y) {
            for (int x = 0; x < noise.width(); ++x) {
                noise.setPixel(x, y, random.generate() | 0xFF000000u);
            }
        }
        Canvas canvas;
        canvas.SetPicture(noise);
        UseFont(canvas, 120);
        canvas.ForeColor = 0x00FFFFFF;
        canvas.Print(QStringLiteral("O"));

        const QImage after = canvas.Image();
        const QFontMetricsF m = Metrics96(Arial(120));
        const QRectF glyph = m.boundingRect(QStringLiteral("O")).translated(0, m.ascent());
        const QRect ink = InkBox(after, noise);
        QVERIFY(!ink.isNull());
        QVERIFY2(glyph.adjusted(-1, -1, 1, 1).contains(QRectF(ink)), "ink outside the glyph box");
        // The counter of the O is background.
        QVERIFY(InkBox(after, noise, QRect(ink.center() - QPoint(10, 10), QSize(21, 21))).isNull());
    }

    void foreColorIsBlueGreenRed_data() {
        QTest::addColumn<quint32>("foreColor");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("255 is red") << quint32(255) << QColor(255, 0, 0);
        QTest::newRow("green") << quint32(0x0000FF00) << QColor(0, 255, 0);
        QTest::newRow("blue") << quint32(0x00FF0000) << QColor(0, 0, 255);
        QTest::newRow("mixed") << quint32(0x00336699) << QColor(0x99, 0x66, 0x33);
    }
    void foreColorIsBlueGreenRed() {
        QFETCH(quint32, foreColor);
        QFETCH(QColor, expected);
        const QImage white = PlainImage(200, 150, Qt::white);
        Canvas canvas;
        canvas.SetPicture(white);
        UseFont(canvas, 72, true);
        canvas.ForeColor = foreColor;
        canvas.Print(QStringLiteral("IH"));

        // Inside the stems every pixel is fully covered: the commonest ink colour is the pen.
        QHash<QRgb, int> counts;
        QRgb commonest = 0;
        const QImage after = canvas.Image();
        for (int y = 0; y < after.height(); ++y) {
            for (int x = 0; x < after.width(); ++x) {
                const QRgb p = after.pixel(x, y);
                if (p != white.pixel(x, y) && ++counts[p] > counts.value(commonest)) {
                    commonest = p;
                }
            }
        }
        QCOMPARE(QColor(commonest), expected);
    }

    void pointSizeIgnoresTheImageResolution_data() {
        QTest::addColumn<QImage>("picture");
        QVERIFY(dir_.isValid());
        QTest::newRow("200 px") << PlainImage(200, 150);
        QTest::newRow("6000 x 400 px") << PlainImage(6000, 400);

        QImage photo = PlainImage(320, 200, QColor(90, 120, 60));
        photo.setDotsPerMeterX(11811);  // 300 x 200 DPI
        photo.setDotsPerMeterY(7874);
        const QString jpeg = dir_.filePath(QStringLiteral("photo300.jpg"));
        QVERIFY(QImageWriter(jpeg).write(photo));
        const QImage loaded = ReadImage(jpeg);
        QCOMPARE(loaded.dotsPerMeterX(), 11811);
        QTest::newRow("JPEG marked 300 x 200 DPI") << loaded;

        // Qt reads a device pixel ratio of 2 from the "@2x" in this name.
        const QString named = dir_.filePath(QStringLiteral("holiday@2x.png"));
        QVERIFY(PlainImage(320, 200).save(named));
        const QImage doubled = ReadImage(named);
        QCOMPARE(doubled.devicePixelRatio(), 2.0);
        QTest::newRow("file named @2x") << doubled;
    }
    void pointSizeIgnoresTheImageResolution() {
        QFETCH(QImage, picture);
        // What 24 pt Arial looks like at 96 DPI, drawn without the canvas.
        QImage reference = PlainImage(200, 150);
        const QImage blank = reference;
        QPainter painter(&reference);
        painter.setFont(Arial(24));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(10, 10 + Metrics96(Arial(24)).ascent()), QStringLiteral("Hg"));
        painter.end();
        const QRect expected = InkBox(reference, blank);
        // 24 pt is 32 px: "Hg" from cap top to descender is about 30 px (94 px at 300 DPI).
        QVERIFY2(expected.height() > 25 && expected.height() < 35,
                 qPrintable(QString::number(expected.height())));

        Canvas canvas;
        canvas.SetPicture(picture);
        UseFont(canvas, 24);
        const QImage before = canvas.Image();
        canvas.CurrentX = 150;
        canvas.CurrentY = 150;
        canvas.Print(QStringLiteral("Hg"));
        QCOMPARE(InkBox(canvas.Image(), before), expected);
        // One twip-measured pixel per picture pixel, and a one-pixel frame each side.
        const QSizeF inner = QSizeF(picture.size()) * kTwips;
        QCOMPARE(QSizeF(canvas.ScaleWidth(), canvas.ScaleHeight()), inner);
        QCOMPARE(QSizeF(canvas.Width(), canvas.Height()), inner + QSizeF(30, 30));
        // The composed image keeps the source's size and resolution.
        QCOMPARE(canvas.Image().size(), picture.size());
        QCOMPARE(canvas.Image().dotsPerMeterX(), picture.dotsPerMeterX());
        QCOMPARE(canvas.Image().dotsPerMeterY(), picture.dotsPerMeterY());
    }

    void alphaIsCompositedOnWhite_data() {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("plain name") << "icon.png";
        QTest::newRow("name with @2x") << "icon@2x.png";
    }
    void alphaIsCompositedOnWhite() {
        QFETCH(QString, fileName);
        // Left half transparent, right half opaque blue, bottom row half-transparent black.
        QImage icon(40, 20, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 40; ++x) {
                if (y == 19 || x >= 20) {
                    icon.setPixel(x, y, y == 19 ? qRgba(0, 0, 0, 128) : qRgba(0, 0, 255, 255));
                }
            }
        }
        QVERIFY(icon.save(dir_.filePath(fileName)));

        Canvas canvas;
        canvas.SetPicture(ReadImage(dir_.filePath(fileName)));
        const QImage composed = canvas.Image();
        QCOMPARE(composed.size(), QSize(40, 20));
        QVERIFY(!composed.hasAlphaChannel());
        QCOMPARE(composed.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(composed.pixel(39, 18), qRgb(0, 0, 255));
        QVERIFY(std::abs(qRed(composed.pixel(5, 19)) - 127) <= 1);
    }
};

QTEST_MAIN(CanvasTest)
#include "canvas_test.moc"

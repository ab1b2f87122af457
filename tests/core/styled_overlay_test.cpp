// SPDX-License-Identifier: MIT
#include "core/styled_overlay.h"
#include "ink.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <vector>

Q_DECLARE_METATYPE(StampLength)
Q_DECLARE_METATYPE(StampTextColor)

namespace {

const QStringList kPositions = {"Upper-left",   "Upper-right",   "Lower-left",
                                "Lower-right",  "Center-top",    "Center-left",
                                "Center-right", "Center-bottom", "Center"};

StampLength Share(double fraction) {
    return {StampLength::Unit::ShorterSide, fraction};
}
StampLength Pixels(double pixels) {
    return {StampLength::Unit::Pixels, pixels};
}

// Stamps `picture` with Arial in the 0x00BBGGRR colour `bgr` and returns the result.
QImage Stamped(const QImage& picture, const QString& text, const QString& position,
               const StampStyle& style, quint32 bgr = 0x00FFFFFF, bool underline = false) {
    Canvas canvas;
    canvas.SetPicture(picture);
    canvas.SetFontName(QStringLiteral("Arial"));
    canvas.SetFontSize(24);
    canvas.SetFontUnderline(underline);
    canvas.ForeColor = bgr;
    OverlayStyledText(canvas, text, position, style);
    return canvas.Image();
}

// WCAG 2, written out here apart from the code under test.
double Luminance(QRgb c) {
    const auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
}
double Contrast(QRgb a, QRgb b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QImage Noise(int width, int height) {
    QImage image = PlainImage(width, height);
    QRandomGenerator random(26);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            row[x] = 0xFF000000 | (random.generate() & 0xFFFFFF);
        }
    }
    return image;
}

}  // namespace

class StyledOverlayTest : public QObject {
    Q_OBJECT

private slots:
    // The height of a capital, measured as the covered area of a row of "I" divided by the
    // width of one full row, so partly covered top and bottom rows count for their share.
    void capHeightFollowsThePicture_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<StampLength>("length");
        QTest::addColumn<double>("expected");
        QTest::addColumn<bool>("underline");
        QTest::newRow("640x480 3%") << QSize(640, 480) << Share(0.03) << 14.4 << false;
        QTest::newRow("6000x4000 3%") << QSize(6000, 4000) << Share(0.03) << 120.0 << false;
        QTest::newRow("portrait 3000x4000 3%") << QSize(3000, 4000) << Share(0.03) << 90.0 << false;
        QTest::newRow("640x480 48px") << QSize(640, 480) << Pixels(48) << 48.0 << false;
        QTest::newRow("underlined 640x480 48px") << QSize(640, 480) << Pixels(48) << 48.0 << true;
    }
    void capHeightFollowsThePicture() {
        QFETCH(QSize, size);
        QFETCH(StampLength, length);
        QFETCH(double, expected);
        QFETCH(bool, underline);
        StampStyle style;
        style.size = length;
        const QImage before = PlainImage(size.width(), size.height(), Qt::black);
        const QImage after =
            Stamped(before, QStringLiteral("IIII"), "Center", style, 0x00FFFFFF, underline);
        // The underline lies below the letters, apart from them.
        QRect ink = InkBox(after, before);
        if (underline) {
            int y = ink.top();
            while (y <= ink.bottom() && InkBox(after, before, QRect(0, y, after.width(), 1)).isValid()) {
                ++y;
            }
            ink.setBottom(y - 1);
        }
        QVERIFY(!ink.isNull());
        std::vector<double> rows;
        for (int y = ink.top(); y <= ink.bottom(); ++y) {
            double covered = 0;
            for (int x = ink.left(); x <= ink.right(); ++x) {
                covered += qRed(after.pixel(x, y)) / 255.0;
            }
            rows.push_back(covered);
        }
        std::vector<double> sorted = rows;
        std::sort(sorted.begin(), sorted.end());
        const double fullRow = sorted[sorted.size() / 2];
        double height = 0;
        for (double covered : rows) {
            height += covered / fullRow;
        }
        QVERIFY2(std::abs(height - expected) <= 0.05 * expected,
                 qPrintable(QStringLiteral("cap height %1 px, asked %2").arg(height).arg(expected)));
    }

    // A boxed stamp at every position, from text as tall as the picture to a small stamp on
    // a large picture: the whole box lies inside with its margin, at its anchor, holding the
    // text.
    void boxStaysInsideAtItsAnchor_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<StampLength>("length");
        QTest::addColumn<QString>("position");
        const QList<std::tuple<QString, QSize, StampLength>> cases = {
            {"tiny 48px", QSize(64, 48), Pixels(48)},
            {"tiny 3%", QSize(64, 48), Share(0.03)},
            {"huge 3%", QSize(6000, 4000), Share(0.03)},
            {"huge 60%", QSize(6000, 4000), Share(0.6)},
        };
        for (const auto& [name, size, length] : cases) {
            for (const QString& position : kPositions) {
                QTest::newRow(qPrintable(name + ' ' + position)) << size << length << position;
            }
        }
    }
    void boxStaysInsideAtItsAnchor() {
        QFETCH(QSize, size);
        QFETCH(StampLength, length);
        QFETCH(QString, position);
        constexpr int kMargin = 3;
        StampStyle style;
        style.size = length;
        style.margin = Pixels(kMargin);
        style.box = StampDecoration{std::nullopt, qRgb(255, 0, 0)};
        const QImage before = PlainImage(size.width(), size.height(), QColor(0, 160, 0));
        const QImage after = Stamped(before, QStringLiteral("12/8/2026 12:00"), position, style);
        const QRect box = InkBox(after, before);
        QVERIFY(!box.isNull());
        // Anti-aliased edges may touch the pixel next to the margin, never the picture's edge.
        QVERIFY2(box.left() >= kMargin - 1 && box.top() >= kMargin - 1 &&
                     box.right() <= size.width() - kMargin && box.bottom() <= size.height() - kMargin,
                 qPrintable(QStringLiteral("box %1,%2 %3x%4").arg(box.x()).arg(box.y())
                                .arg(box.width()).arg(box.height())));
        const auto at = [](int low, int high, int extent, QChar side) {
            if (side == 'l' || side == 'u') {
                return low <= kMargin;
            }
            if (side == 'r' || side == 'o') {
                return high >= extent - 1 - kMargin;
            }
            return std::abs((low + high + 1) / 2.0 - extent / 2.0) <= 1.5;
        };
        const QString lower = position.toLower();
        const QChar across = lower.endsWith("left") ? 'l' : lower.endsWith("right") ? 'r' : 'c';
        const QChar down = lower.startsWith("upper") || lower.endsWith("top")       ? 'u'
                           : lower.startsWith("lower") || lower.endsWith("bottom") ? 'o'
                                                                                   : 'c';
        QVERIFY(at(box.left(), box.right(), size.width(), across));
        QVERIFY(at(box.top(), box.bottom(), size.height(), down));
        // The text is in the box: white ink in its middle band, where red box and green
        // picture have no green.
        bool text = false;
        const int middle = box.center().y();
        for (int x = box.left() + 1; x < box.right() && !text; ++x) {
            text = qGreen(after.pixel(x, middle)) > 40;
        }
        QVERIFY(text);
    }

    void autoPicksTheColourThatStandsOut_data() {
        QTest::addColumn<QColor>("background");
        QTest::addColumn<StampTextColor>("color");
        QTest::addColumn<QColor>("expected");
        const StampTextColor whiteOrBlack{true, 0, 0xFFFFFFFF, 0xFF000000};
        const StampTextColor goldOrCoal{true, 0, 0xFFFFD700, 0xFF202020};
        QTest::newRow("white sky") << QColor(Qt::white) << whiteOrBlack << QColor(Qt::black);
        QTest::newRow("black night") << QColor(Qt::black) << whiteOrBlack << QColor(Qt::white);
        QTest::newRow("pair on dark blue") << QColor(0x20, 0x20, 0x40) << goldOrCoal
                                           << QColor(0xFF, 0xD7, 0x00);
        QTest::newRow("pair on light grey") << QColor(0xE0, 0xE0, 0xE0) << goldOrCoal
                                            << QColor(0x20, 0x20, 0x20);
    }
    void autoPicksTheColourThatStandsOut() {
        QFETCH(QColor, background);
        QFETCH(StampTextColor, color);
        QFETCH(QColor, expected);
        StampStyle style;
        style.size = Share(0.05);
        style.color = color;
        const QImage before = PlainImage(800, 600, background);
        const QImage after = Stamped(before, QStringLiteral("NIGHT"), "Center", style);
        // The pixel that differs most from the background is a glyph's inside.
        const QRect ink = InkBox(after, before);
        QVERIFY(!ink.isNull());
        QRgb most = 0;
        int mostDifference = -1;
        for (int y = ink.top(); y <= ink.bottom(); ++y) {
            for (int x = ink.left(); x <= ink.right(); ++x) {
                const QRgb p = after.pixel(x, y);
                const int d = std::abs(qRed(p) - background.red()) +
                              std::abs(qGreen(p) - background.green()) +
                              std::abs(qBlue(p) - background.blue());
                if (d > mostDifference) {
                    mostDifference = d;
                    most = p;
                }
            }
        }
        QCOMPARE(QColor(most), expected);
    }

    // The text's contrast against the pixels right around its glyphs, as a reader sees it:
    // the contrast the glyphs keep against nine tenths of that ring.
    void autoTextIsReadable_data() {
        QTest::addColumn<QImage>("picture");
        QTest::newRow("mid-grey") << PlainImage(1200, 800, QColor(0x77, 0x77, 0x77));
        QTest::newRow("noise") << Noise(1200, 800);
    }
    void autoTextIsReadable() {
        QFETCH(QImage, picture);
        const QString text = QStringLiteral("Readable 1234");
        // The glyphs' full-coverage insides, from the same text drawn white on black.
        StampStyle plain;
        plain.size = Share(0.05);
        const QImage black = PlainImage(picture.width(), picture.height(), Qt::black);
        const QImage mask = Stamped(black, text, "Center", plain);
        StampStyle automatic = plain;
        automatic.color = StampTextColor{true, 0, 0xFFFFFFFF, 0xFF000000};
        const QImage after = Stamped(picture, text, "Center", automatic);

        std::vector<QRgb> inside;
        std::vector<QRgb> ring;
        const QRect ink = InkBox(mask, black).adjusted(-1, -1, 1, 1);
        for (int y = ink.top(); y <= ink.bottom(); ++y) {
            for (int x = ink.left(); x <= ink.right(); ++x) {
                const int coverage = qRed(mask.pixel(x, y));
                if (coverage == 255) {
                    inside.push_back(after.pixel(x, y));
                } else if (coverage == 0) {
                    const bool touches = qRed(mask.pixel(x - 1, y)) > 0 ||
                                         qRed(mask.pixel(x + 1, y)) > 0 ||
                                         qRed(mask.pixel(x, y - 1)) > 0 ||
                                         qRed(mask.pixel(x, y + 1)) > 0;
                    if (touches) {
                        ring.push_back(after.pixel(x, y));
                    }
                }
            }
        }
        QVERIFY(inside.size() > 100 && ring.size() > 100);
        const QRgb textColor = inside[inside.size() / 2];
        std::vector<double> contrasts;
        for (QRgb p : ring) {
            contrasts.push_back(Contrast(textColor, p));
        }
        std::nth_element(contrasts.begin(), contrasts.begin() + contrasts.size() / 10,
                         contrasts.end());
        const double contrast = contrasts[contrasts.size() / 10];
        QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("contrast %1:1").arg(contrast)));
    }

    // Red text at alpha 0x80 on blue: the glyphs' insides are half of each, also when an
    // outline is drawn under them.
    void alphaIsAHalfBlend_data() {
        QTest::addColumn<bool>("outlined");
        QTest::newRow("plain") << false;
        QTest::newRow("outlined") << true;
    }
    void alphaIsAHalfBlend() {
        QFETCH(bool, outlined);
        StampStyle style;
        style.size = Share(0.1);
        style.color = StampTextColor{false, 0x80FF0000, 0, 0};
        if (outlined) {
            style.outline = StampDecoration{};
        }
        const QImage before = PlainImage(800, 600, QColor(0, 0, 255));
        const QImage after = Stamped(before, QStringLiteral("HALF"), "Center", style);
        const QRect ink = InkBox(after, before);
        QVERIFY(!ink.isNull());
        // The most common colour with the text's red in it is the inside of the glyphs.
        QMap<QRgb, int> counts;
        for (int y = ink.top(); y <= ink.bottom(); ++y) {
            for (int x = ink.left(); x <= ink.right(); ++x) {
                if (qRed(after.pixel(x, y)) > 64) {
                    ++counts[after.pixel(x, y)];
                }
            }
        }
        const QRgb inside = std::max_element(counts.keyValueBegin(), counts.keyValueEnd(),
                                             [](auto a, auto b) { return a.second < b.second; })
                                ->first;
        QVERIFY2(std::abs(qRed(inside) - 128) <= 2 && qGreen(inside) == 0 &&
                     std::abs(qBlue(inside) - 127) <= 2,
                 qPrintable(QColor(inside).name()));
    }
};

QTEST_MAIN(StyledOverlayTest)
#include "styled_overlay_test.moc"

// SPDX-License-Identifier: MIT
#include "ui/screen_placement.h"
#include "support/form_fixture.h"
#include "ui/scrollable_content.h"

#include <QScreen>
#include <QtTest>

class ScreenPlacementTest : public QObject {
    Q_OBJECT

private slots:
    void position_data() {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("position");
        // Every row places a frame of 1064 x 443.
        QTest::newRow("fits: centred") << QRect(0, 0, 1280, 800) << QPoint(108, 178);
        QTest::newRow("second screen on the right")
            << QRect(1366, 0, 1920, 1080) << QPoint(1794, 318);
        QTest::newRow("exactly fits") << QRect(10, 20, 1064, 443) << QPoint(10, 20);
        QTest::newRow("1366 x 768 at 150 %: too wide") << QRect(0, 0, 910, 512) << QPoint(0, 0);
        QTest::newRow("too wide, panel at the left") << QRect(48, 0, 862, 512) << QPoint(48, 0);
        QTest::newRow("too tall only") << QRect(0, 30, 1600, 400) << QPoint(0, 30);
    }
    void position() {
        QFETCH(QRect, available);
        QFETCH(QPoint, position);
        QCOMPARE(OnScreenPosition(QSize(1064, 443), available), position);
    }

    void scrolledSize_data() {
        QTest::addColumn<QSize>("room");
        QTest::addColumn<QSize>("size");
        // Every row fits content of 1064 x 443 with scroll bars 14 pixels thick.
        QTest::newRow("fits") << QSize(1280, 800) << QSize(1064, 443);
        QTest::newRow("exactly fits") << QSize(1064, 443) << QSize(1064, 443);
        QTest::newRow("too narrow: a bar below") << QSize(910, 512) << QSize(910, 457);
        QTest::newRow("too narrow, the bar below makes it too tall")
            << QSize(910, 450) << QSize(910, 450);
        QTest::newRow("too short: a bar at the side") << QSize(1200, 400) << QSize(1078, 400);
        QTest::newRow("too short, the bar at the side makes it too wide")
            << QSize(1070, 400) << QSize(1070, 400);
        QTest::newRow("too small both ways") << QSize(800, 300) << QSize(800, 300);
    }
    void scrolledSize() {
        QFETCH(QSize, room);
        QFETCH(QSize, size);
        QCOMPARE(ScrolledWindowSize(QSize(1064, 443), room, QSize(14, 14)), size);
    }

    // The fitted size, drawn at the scale, never passes the screen's last real pixel.
    void fittingSizeStaysWithinThePixels_data() {
        QTest::addColumn<QSize>("screenPixels");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QSize>("fitting");
        QTest::newRow("1366 x 768 at 150 %") << QSize(1366, 768) << 1.5 << QSize(910, 512);
        QTest::newRow("1366 x 768 at 125 %") << QSize(1366, 768) << 1.25 << QSize(1093, 613);
        QTest::newRow("1280 x 800 at 100 %") << QSize(1280, 800) << 1.0 << QSize(1280, 800);
        QTest::newRow("1919 x 1079 at 200 %") << QSize(1919, 1079) << 2.0 << QSize(959, 539);
    }
    void fittingSizeStaysWithinThePixels() {
        QFETCH(QSize, screenPixels);
        QFETCH(qreal, ratio);
        QFETCH(QSize, fitting);
        // What Qt reports for the screen, and the pixels a logical size is drawn with.
        const QSize logical(qRound(screenPixels.width() / ratio),
                            qRound(screenPixels.height() / ratio));
        const QSize fitted = FittingSize(logical, ratio);
        QCOMPARE(fitted, fitting);
        QVERIFY(qRound(fitted.width() * ratio) <= screenPixels.width());
        QVERIFY(qRound(fitted.height() * ratio) <= screenPixels.height());
    }

    // On the offscreen screen, smaller than the window, it opens at the top-left corner.
    void mainWindowOnItsScreen() {
        FormFixture f;
        PlaceOnScreen(f.form);
        const QRect available = f.form.screen()->availableGeometry();
        const QRect frame = f.form.frameGeometry();
        if (frame.width() <= available.width() && frame.height() <= available.height()) {
            QVERIFY(available.contains(frame));
        } else {
            QCOMPARE(frame.topLeft(), available.topLeft());
        }
    }
};

QTEST_MAIN(ScreenPlacementTest)
#include "screen_placement_test.moc"

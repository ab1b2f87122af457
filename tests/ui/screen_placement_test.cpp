// SPDX-License-Identifier: MIT
#include "ui/screen_placement.h"
#include "support/form_fixture.h"

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

// SPDX-License-Identifier: MIT
// The main window on the screen it opens on: run under Xvfb at several screen sizes and
// scale factors (150 % on 1366 x 768, 200 % on 1920 x 1080, 100 % on 1280 x 800), every
// control the keyboard reaches is shown inside the window, and the window inside the
// screen; at its full size the window is drawn exactly as designed.

#include "support/form_fixture.h"
#include "ui/screen_placement.h"
#include "ui/scrollable_content.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QScrollBar>
#include <QtTest>

namespace {

const QSize kDesignSize(1064, 443);

QRect OnScreen(const QWidget* widget) {
    return {widget->mapToGlobal(QPoint(0, 0)), widget->size()};
}

ScrollableContent* Scroller(const Form1& form) {
    return form.findChild<ScrollableContent*>();
}

// The size xwininfo reads for an X window ("-root": the screen); invalid when it cannot.
QSize XWindowSize(const QStringList& which) {
    QProcess info;
    info.start(QStringLiteral("xwininfo"), which);
    info.waitForFinished(10000);
    const QString text = QString::fromLatin1(info.readAllStandardOutput());
    const auto number = [&text](const char* label) {
        const QRegularExpressionMatch match =
            QRegularExpression(QLatin1String(label) + QStringLiteral(":\\s*(\\d+)")).match(text);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    return {number("Width"), number("Height")};
}

}  // namespace

class ReachableWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const QScreen* screen = QGuiApplication::primaryScreen();
        qInfo("screen %dx%d at %.2f, available %dx%d", screen->size().width(),
              screen->size().height(), screen->devicePixelRatio(),
              screen->availableGeometry().width(), screen->availableGeometry().height());
    }

    void everyControlCanBeReached_data() {
        QTest::addColumn<QMargins>("panels");  // left, top, right, bottom
        QTest::newRow("whole screen") << QMargins();
        QTest::newRow("top bar and bottom panel") << QMargins(0, 27, 0, 40);
        QTest::newRow("panel at the left") << QMargins(48, 0, 0, 0);
    }
    void everyControlCanBeReached() {
        QFETCH(QMargins, panels);
        FormFixture f;
        Form1& form = f.form;
        const QRect area = form.screen()->availableGeometry().marginsRemoved(panels);
        PlaceInArea(form, area);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        qInfo("area %dx%d: window %dx%d", area.width(), area.height(), form.width(), form.height());
        QVERIFY(area.contains(form.frameGeometry()));

        // The keyboard goes round the controls in their designed order; each control it
        // reaches is scrolled into view, all but the preview button that lies below the
        // client area by design.
        const QList<std::pair<QWidget*, QString>> order = {{form.ListView1, "ListView1"},
                                                           {form.Combo2, "Combo2"},
                                                           {form.Slider1, "Slider1"},
                                                           {form.PushButton1, "PushButton1"},
                                                           {form.PushButton3, "PushButton3"},
                                                           {form.PushButton7, "PushButton7"},
                                                           {form.PushButton8, "PushButton8"},
                                                           {form.PushButton2, "PushButton2"},
                                                           {form.Text1, "Text1"},
                                                           {form.PushButton4, "PushButton4"},
                                                           {form.Combo1, "Combo1"},
                                                           {form.PushButton6, "PushButton6"},
                                                           {form.PushButton5, "PushButton5"},
                                                           {form.Text4, "Text4"},
                                                           {form.PushButton9, "PushButton9"},
                                                           {form.PushButton10, "PushButton10"},
                                                           {form.ListView1, "ListView1"}};
        const QWidget* viewport = Scroller(form)->viewport();
        form.ListView1->setFocus(Qt::TabFocusReason);
        QStringList visited;
        QStringList hidden;
        for (const auto& [control, name] : order) {
            QWidget* focused = QApplication::focusWidget();
            visited << (focused == control ? name : QStringLiteral("not %1").arg(name));
            if (control != form.PushButton5 && !OnScreen(viewport).contains(OnScreen(control))) {
                hidden << QStringLiteral("%1 at %2,%3 %4x%5")
                                  .arg(name)
                                  .arg(OnScreen(control).x())
                                  .arg(OnScreen(control).y())
                                  .arg(control->width())
                                  .arg(control->height()) +
                              QStringLiteral(" view %1,%2 %3x%4")
                                  .arg(OnScreen(viewport).x())
                                  .arg(OnScreen(viewport).y())
                                  .arg(viewport->width())
                                  .arg(viewport->height());
            }
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QStringList designed;
        for (const auto& step : order) {
            designed << step.second;
        }
        QCOMPARE(visited, designed);
        QVERIFY2(hidden.isEmpty(), qPrintable(hidden.join(QStringLiteral("; "))));
        QVERIFY(area.contains(form.frameGeometry()));
    }

    // Fitted to a screen that a fractional scale leaves a fraction of a pixel over (1366
    // pixels at 150 % are 910.67 logical ones, which Qt reports as 911), the window is no
    // wider than the screen's real pixels.
    void fittedWindowStaysWithinTheScreensPixels() {
        if (QGuiApplication::platformName() != QLatin1String("xcb") ||
            QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty()) {
            QSKIP("needs an X server and xwininfo to read the window's real size");
        }
        FormFixture f;
        Form1& form = f.form;
        PlaceOnScreen(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QSize screen = XWindowSize({QStringLiteral("-root")});
        const QSize window = XWindowSize({QStringLiteral("-id"), QString::number(form.winId())});
        QVERIFY(screen.isValid() && window.isValid());
        QVERIFY2(window.width() <= screen.width() && window.height() <= screen.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(window.width()).arg(window.height())));
    }

    // With room for all of it, the window has its designed size, shows no scroll bar and
    // draws nothing but the controls where they always were.
    void fullSizeIsDrawnAsDesigned() {
        FormFixture f;
        Form1& form = f.form;
        PlaceInArea(form, QRect(QPoint(0, 0), kDesignSize * 3));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), kDesignSize);
        QVERIFY(!Scroller(form)->horizontalScrollBar()->isVisible());
        QVERIFY(!Scroller(form)->verticalScrollBar()->isVisible());
        QCOMPARE(form.PushButton6->mapTo(&form, QPoint(0, 0)), QPoint(536, 409));
        QCOMPARE(form.PushButton4->mapTo(&form, QPoint(0, 0)), QPoint(472, 334));
        QCOMPARE(form.Text4->mapTo(&form, QPoint(0, 0)), QPoint(536, 7));
        const QImage window = form.grab().toImage();
        const QImage content = Scroller(form)->Content()->grab().toImage();
        QCOMPARE(window.size(), content.size());
        QVERIFY(window.convertToFormat(QImage::Format_RGB32) ==
                content.convertToFormat(QImage::Format_RGB32));

        // On a screen with room for it, the program opens it there in full and centred.
        const QRect available = form.screen()->availableGeometry();
        if (available.width() >= kDesignSize.width() &&
            available.height() >= kDesignSize.height()) {
            PlaceOnScreen(form);
            QCOMPARE(form.size(), kDesignSize);
            QCOMPARE(form.pos(), OnScreenPosition(kDesignSize, available));
        }
    }

    // The pointer follows the mouse as before: the arrow over the window's background,
    // the hand over a button.
    void pointerFeedbackThroughTheScrollArea() {
        FormFixture f;
        Form1& form = f.form;
        PlaceOnScreen(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SetMousePointer(Form1::kPointerCustom);
        // The gap between the list column and the stamp text.
        QTest::mouseMove(&form, Scroller(form)->Content()->mapTo(&form, QPoint(532, 200)));
        QTRY_COMPARE(form.MousePointer(), Form1::kPointerDefault);
        QTest::mouseMove(form.PushButton1, form.PushButton1->rect().center());
        QTRY_COMPARE(form.MousePointer(), Form1::kPointerCustom);
    }
};

QTEST_MAIN(ReachableWindowTest)
#include "reachable_window_test.moc"

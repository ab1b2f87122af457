// SPDX-License-Identifier: MIT
#include "support/form_fixture.h"

#include <QtTest>

namespace {

struct Fixture : FormFixture {
    FileListView& list = *form.ListView1;

    explicit Fixture(const QStringList& entries) {
        form.show();
        for (const QString& e : entries) {
            list.Add(e);
        }
    }
    QWidget* viewport() { return list.viewport(); }
    QPoint centreOf(int i) { return list.visualItemRect(list.topLevelItem(i - 1)).center(); }
    void mouse(QEvent::Type type, int entry, Qt::MouseButtons buttons, int screenY = 330) {
        const QPoint pos = entry > 0 ? centreOf(entry) : QPoint(5, viewport()->height() - 2);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, QPointF(pos.x(), screenY), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &event);
    }
    void press(int entry) { mouse(QEvent::MouseButtonPress, entry, Qt::LeftButton); }
    void dragOver(int entry, int screenY = 330) {
        mouse(QEvent::MouseMove, entry, Qt::LeftButton, screenY);
    }
    void release(int entry) { mouse(QEvent::MouseButtonRelease, entry, Qt::NoButton); }
};

}  // namespace

class ListGesturesTest : public QObject {
    Q_OBJECT

private slots:
    void deleteKeyAndDoubleClickRemoveTheSelectedEntry() {
        Fixture f({"/a.jpg", "/b.jpg", "/c.jpg"});
        QTest::keyClick(&f.list, Qt::Key_Delete);  // nothing selected
        QCOMPARE(f.list.Count(), 3);
        f.list.Selected(2);
        QTest::keyClick(&f.list, Qt::Key_Backspace);
        QTest::keyClick(&f.list, Qt::Key_Period);
        QTest::keyClick(&f.list, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(f.list.Texts(), QStringList({"/a.jpg", "/c.jpg"}));

        // A double-click anywhere removes whichever entry is selected.
        f.list.Selected(1);
        QTest::mouseDClick(f.viewport(), Qt::LeftButton, Qt::NoModifier,
                           QPoint(5, f.viewport()->height() - 2));
        QCOMPARE(f.list.Texts(), QStringList({"/c.jpg"}));

        f.list.Clear();
        f.form.ListView1_KeyDown(46);
        f.form.ListView1_DblClick();
        QCOMPARE(f.list.Count(), 0);
    }

    void busyWindowRefusesRemovingAndClearing() {
        Fixture f({"/a.jpg", "/b.jpg"});
        f.list.Selected(1);
        f.form.SetMousePointer(Form1::kPointerBusy);
        f.form.ListView1_KeyDown(46);
        f.form.ListView1_DblClick();
        f.form.PushButton7->click();
        QCOMPARE(f.list.Count(), 2);
        f.form.SetMousePointer(Form1::kPointerDefault);
        f.form.PushButton7->click();
        QCOMPARE(f.list.Count(), 0);
        QCOMPARE(f.dialogs.calls.size(), 0);
    }

    void draggingExchangesTextsStepByStep() {
        Fixture f({"/1.jpg", "/2.jpg", "/3.jpg", "/4.jpg"});
        f.press(1);
        f.dragOver(2);
        f.dragOver(3);
        f.release(3);
        QCOMPARE(f.list.Texts(), QStringList({"/2.jpg", "/3.jpg", "/1.jpg", "/4.jpg"}));
        QCOMPARE(f.list.SelectedIndex(), 3);

        // Moving again after the release moves nothing.
        f.dragOver(4);
        QCOMPARE(f.list.Texts(), QStringList({"/2.jpg", "/3.jpg", "/1.jpg", "/4.jpg"}));
    }

    void jumpingOverEntriesExchangesOnlyTheTwo() {
        Fixture f({"/1.jpg", "/2.jpg", "/3.jpg", "/4.jpg"});
        f.press(1);
        f.dragOver(4);
        QCOMPARE(f.list.Texts(), QStringList({"/4.jpg", "/2.jpg", "/3.jpg", "/1.jpg"}));
        // Below the last entry nothing is under the pointer.
        f.dragOver(0);
        QCOMPARE(f.list.Texts(), QStringList({"/4.jpg", "/2.jpg", "/3.jpg", "/1.jpg"}));
    }

    void equalTextsNeverExchange() {
        Fixture f({"/same.jpg", "/same.jpg", "/other.jpg"});
        f.press(1);
        f.dragOver(2);
        QCOMPARE(f.list.SelectedIndex(), 1);
        f.dragOver(3);
        QCOMPARE(f.list.Texts(), QStringList({"/other.jpg", "/same.jpg", "/same.jpg"}));
    }

    void autoScrollUsesFixedScreenRows_data() {
        QTest::addColumn<int>("screenY");
        QTest::newRow("above 305 scrolls up") << 100;
        QTest::newRow("below 364 scrolls down") << 500;
    }
    void autoScrollUsesFixedScreenRows() {
        QFETCH(int, screenY);
        QStringList entries;
        for (int i = 1; i <= 60; ++i) {
            entries << QString("/p%1.jpg").arg(i);
        }
        Fixture f(entries);
        f.list.scrollToItem(f.list.topLevelItem(29));
        QCoreApplication::processEvents();
        f.press(30);
        f.list.scrollToItem(f.list.topLevelItem(0), QAbstractItemView::PositionAtTop);
        // Entry 2 is under the pointer once the list shows the top again.
        f.dragOver(2, screenY);
        f.list.scrollToItem(f.list.topLevelItem(30), QAbstractItemView::PositionAtTop);
        f.list.scrollToItem(f.list.topLevelItem(0), QAbstractItemView::PositionAtTop);
        f.press(5);
        f.dragOver(6, screenY);
        const QRect shown = f.viewport()->rect();
        const int expected = screenY < 305 ? 5 : 7;
        QVERIFY(shown.intersects(f.list.visualItemRect(f.list.topLevelItem(expected - 1))));
    }

    void clickingAnEntryShowsItsName() {
        Fixture f({"/pics/one.jpg", "/pics/two.b.png"});
        Choose(f.form.Combo1, 5);
        QCOMPARE(f.form.Text4->Text(), QString("one"));
        f.press(2);
        f.release(2);
        QCOMPARE(f.form.Text4->Text(), QString("two.b"));
        QCOMPARE(f.list.PositionOf(f.form.DragItem), 2);
        QCOMPARE(f.viewport()->cursor().shape(), Qt::ArrowCursor);
    }

    void dragPointerFallsBackWithoutItsIcon() {
        Fixture f({"/a.jpg", "/b.jpg"});
        f.press(1);
        QCOMPARE(f.viewport()->cursor().shape(), Qt::DragMoveCursor);
        f.release(1);
        QCOMPARE(f.viewport()->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!f.form.MouseIsDown);
    }

    void hoverOverTheListResetsThePointerUnlessBusy() {
        Fixture f({"/a.jpg"});
        f.form.SetMousePointer(Form1::kPointerCustom);
        f.mouse(QEvent::MouseMove, 1, Qt::NoButton);
        QCOMPARE(f.form.MousePointer(), Form1::kPointerDefault);
        f.form.SetMousePointer(Form1::kPointerBusy);
        f.mouse(QEvent::MouseMove, 1, Qt::NoButton);
        QCOMPARE(f.form.MousePointer(), Form1::kPointerBusy);
    }
};

QTEST_MAIN(ListGesturesTest)
#include "list_gestures_test.moc"

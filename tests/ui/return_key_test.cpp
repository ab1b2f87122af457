// SPDX-License-Identifier: MIT
#include "support/form_fixture.h"
#include "ui/form2.h"

#include <QtTest>

namespace {

// The key held down on the focused widget: a press, two auto-repeats, a release.
void HoldKey(int key, int modifiers) {
    QWidget* focus = QApplication::focusWidget();
    for (const bool repeat : {false, true, true}) {
        QTest::simulateEvent(focus, true, key, Qt::KeyboardModifiers(modifiers), QString(), repeat);
    }
    QTest::simulateEvent(focus, false, key, Qt::KeyboardModifiers(modifiers), QString(), false);
}

}  // namespace

// Return and Enter press a focused push button once, as Space does, in both windows.
class ReturnKeyTest : public QObject {
    Q_OBJECT

private slots:
    void keysPressTheFocusedButton_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("presses");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << 1;
        QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << 1;
        QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0;
    }
    void keysPressTheFocusedButton() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, presses);
        FormFixture f;
        f.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.form));
        // "?" shows the quality help, one message per press.
        f.form.PushButton9->setFocus();
        QCOMPARE(QApplication::focusWidget(), f.form.PushButton9);
        HoldKey(key, modifiers);
        QCOMPARE(f.dialogs.count(QStringLiteral("message")), presses);

        // The preview window's "< Back" takes the same keys.
        f.dialogs.clear();
        Form2 preview(&f.form, f.t.programFolder(), f.dialogs);
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        preview.ShowPicture(picture);
        f.form.hide();
        QVERIFY(QTest::qWaitForWindowActive(&preview));
        preview.PushButton1->setFocus();
        QCOMPARE(QApplication::focusWidget(), preview.PushButton1);
        HoldKey(key, modifiers);
        QCOMPARE(preview.isVisible(), presses == 0);
        QCOMPARE(f.form.isVisible(), presses == 1);
    }
};

QTEST_MAIN(ReturnKeyTest)
#include "return_key_test.moc"

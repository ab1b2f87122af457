// SPDX-License-Identifier: MIT
// What the progress bar and the colour swatch tell assistive technology, through Qt's
// accessibility interfaces; accessibility_tree_test.py reads every control over AT-SPI.

#include "ui/progress_bar_text.h"
#include "support/form_fixture.h"

#include <QAccessible>
#include <QtTest>

namespace {

QAccessibleInterface* Accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

}  // namespace

class AccessibleNamesTest : public QObject {
    Q_OBJECT

private slots:
    // What is drawn stays as designed.
    void captionsUnchanged() {
        FormFixture f;
        QCOMPARE(f.form.PushButton4->text(), QString("..."));
        QCOMPARE(f.form.PushButton9->text(), QString("?"));
        QCOMPARE(f.form.ProgressBar1->text(), QString("Progress Bar"));
    }

    void progressTextIsTheValueText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("a file") << "Processing: photo.jpg" << 40;
        // Shown through invisible joiners, read without them.
        QTest::newRow("a name with placeholders") << "Processing: 50%p 10%v%m.jpg" << 7;
        QTest::newRow("at rest") << "Progress Bar" << 0;
    }
    void progressTextIsTheValueText() {
        QFETCH(QString, text);
        QFETCH(int, value);
        FormFixture f;
        SetProgressBarText(f.form.ProgressBar1, text);
        f.form.ProgressBar1->setValue(value);
        QAccessibleInterface* iface = Accessible(f.form.ProgressBar1);
        QCOMPARE(iface->text(QAccessible::Value), text);
        QCOMPARE(iface->text(QAccessible::Description), text);
        QVERIFY(iface->valueInterface() != nullptr);
        QCOMPARE(iface->valueInterface()->currentValue().toInt(), value);
        QCOMPARE(iface->valueInterface()->maximumValue().toInt(), 100);
    }

    void swatchNamesItsColour_data() {
        QTest::addColumn<quint32>("bgr");
        QTest::addColumn<QString>("name");
        QTest::newRow("white") << 0xFFFFFFu << "white, #FFFFFF";
        QTest::newRow("black") << 0x000000u << "black, #000000";
        QTest::newRow("red") << 0x0000FFu << "red, #FF0000";
        QTest::newRow("green") << 0x00FF00u << "green, #00FF00";
        QTest::newRow("navy") << 0x800000u << "dark blue, #000080";
        QTest::newRow("cyan") << 0xFFFF00u << "cyan, #00FFFF";
        QTest::newRow("yellow") << 0x00FFFFu << "yellow, #FFFF00";
        QTest::newRow("orange") << 0x00A5FFu << "orange, #FFA500";
        QTest::newRow("saddle brown") << 0x13458Bu << "brown, #8B4513";
        QTest::newRow("pink") << 0xCBC0FFu << "pink, #FFC0CB";
        QTest::newRow("purple") << 0x800080u << "purple, #800080";
        QTest::newRow("magenta") << 0xFF00FFu << "magenta, #FF00FF";
        QTest::newRow("grey") << 0x808080u << "grey, #808080";
        QTest::newRow("silver") << 0xC0C0C0u << "light grey, #C0C0C0";
        QTest::newRow("light blue") << 0xFFC0A0u << "light blue, #A0C0FF";
        QTest::newRow("one bit off white") << 0xFFFFFEu << "white, #FEFFFF";
    }
    void swatchNamesItsColour() {
        QFETCH(quint32, bgr);
        QFETCH(QString, name);
        FormFixture f;
        f.dialogs.colorAnswers << bgr;
        f.form.PushButton10_Click();
        QCOMPARE(Accessible(f.form.Picture2)->text(QAccessible::Name), "Font colour: " + name);
    }
};

QTEST_MAIN(AccessibleNamesTest)
#include "accessible_names_test.moc"

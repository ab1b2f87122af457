// SPDX-License-Identifier: MIT
#include "ui/form1.h"
#include "support/form_fixture.h"
#include "ui/window_colors.h"

#include <QGroupBox>
#include <QtTest>

namespace {

void MoveOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// A real cursor file: an icon image whose directory entry says "cursor" and names a hot spot.
QByteArray CursorFile() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "ICO");
    bytes[2] = 2;
    bytes[10] = 5;  // hot spot x
    bytes[12] = 1;  // hot spot y
    return bytes;
}

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void firstStartGivesTheDefaults() {
        FormFixture f;
        const Form1& form = f.form;
        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(form.windowTitle(), QString("Velloran"));
        QCOMPARE(form.Combo2->currentText(), QString("Upper-left"));
        QCOMPARE(form.Combo1->currentText(), QString("Stamp your text on all images"));
        QCOMPARE(form.Text4->Text(), QString("Your text goes here"));
        QCOMPARE(form.Text4->ForeColor(), 0xFFFFFFu);
        QCOMPARE(form.Text4->BackColor(), 0u);
        QCOMPARE(form.Picture2->BackColor(), 0xFFFFFFu);
        QCOMPARE(form.Text4->FontName(), QString("Arial"));
        QCOMPARE(form.Text4->FontSize(), 24.0);
        QVERIFY(form.Text4->FontBold());
        QVERIFY(!form.Text4->FontItalic());
        QCOMPARE(form.Slider1->value(), 85);
        QCOMPARE(form.Text1->text(), f.t.desktopFolder() + "/");
        QCOMPARE(form.ListView1->Count(), 0);
        QCOMPARE(form.ListView1->headerItem()->text(0), QString("Image File(s)"));
        QCOMPARE(form.ListView1->columnWidth(0), 7000 / 15);
        QCOMPARE(form.Picture1.Width(), 10000.0);

        const Settings stored = f.stored();
        QCOMPARE(stored.value("Position"), QString("Upper-left"));
        QCOMPARE(stored.value("Combo1"), QString("Stamp your text on all images"));
        QCOMPARE(stored.value("Output Folder"), f.t.desktopFolder() + "/");
        QVERIFY(!stored.contains("Font Color"));
        QVERIFY(!stored.contains("Slider1"));
    }

    void secondStartRestoresStoredChoices() {
        FormFixture f({{"Position", "Center-bottom"},
                       {"Combo1", "Stamp date on all images"},
                       {"Font Color", "255"},
                       {"FontName", "Courier New"},
                       {"FontBold", "true"},
                       {"FontItalic", "True"},
                       {"FontSize", "10.5"},
                       {"FontStrikethru", "True"},
                       {"FontUnderline", "True"},
                       {"Slider1", "40"},
                       {"Output Folder", ""}});
        const Form1& form = f.form;
        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(form.Combo2->currentText(), QString("Center-bottom"));
        QCOMPARE(form.Text4->Text(), QString("12/6/2026"));
        QCOMPARE(form.Text4->ForeColor(), 255u);
        QCOMPARE(form.Text4->BackColor(), 0xFFFFFFu);
        QCOMPARE(form.Text4->FontName(), QString("Courier New"));
        QVERIFY(!form.Text4->FontBold());  // only "True" is true
        QVERIFY(form.Text4->FontItalic());
        QCOMPARE(form.Text4->FontSize(), 10.0);
        QVERIFY(form.Text4->FontStrikethru());
        QVERIFY(form.Text4->FontUnderline());
        QCOMPARE(form.Slider1->value(), 40);
        QCOMPARE(form.Text1->text(), QString(""));
    }

    void nearlyWhiteTextGetsWhiteBackground() {
        FormFixture f({{"Font Color", "16777214"}, {"FontSize", "11.5"}});
        QCOMPARE(f.form.Text4->BackColor(), 0xFFFFFFu);
        QCOMPARE(f.form.Text4->FontSize(), 12.0);
    }

    void brokenStoredValuesAreReported_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("line");
        const auto row = [](const char* tag, const QString& key, const QString& value, int line) {
            QTest::newRow(tag) << key << value << line;
        };
        row("position not in list", "Position", "upper-left", 152);
        row("colour no number", "Font Color", "red", 154);
        row("colour out of range", "Font Color", "-5", 154);
        row("size no number", "FontSize", "big", 170);
        row("mode not in list", "Combo1", "Stamp nothing", 192);
        row("slider no number", "Slider1", "high", 196);
        row("slider out of range", "Slider1", "101", 196);
    }
    void brokenStoredValuesAreReported() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, line);
        FormFixture f({{key, value}});
        const Form1& form = f.form;
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY2(f.dialogs.errors().first().contains(
                     QString("\r\nin Pellinor2021/08/31.Form1.Form_Load at line %1\r\r").arg(line)),
                 qPrintable(f.dialogs.errors().first()));
        // The control keeps its design value and the load goes on.
        if (key == "Position") {
            QCOMPARE(form.Combo2->currentIndex(), -1);
            QCOMPARE(f.stored().value("Position"), value);
        } else if (key == "Combo1") {
            QCOMPARE(form.Combo1->currentIndex(), -1);
            QCOMPARE(form.Text4->Text(), QString("Your text goes here"));
        } else if (key == "Slider1") {
            QCOMPARE(form.Slider1->value(), 85);
        } else if (key == "FontSize") {
            QCOMPARE(form.Text4->FontSize(), form.font().pointSizeF());
        } else {
            QCOMPARE(form.Picture2->BackColor(), 0xFFFFFFu);
        }
        QCOMPARE(form.Text1->text(), f.t.desktopFolder() + "/");
    }

    void noDesktopFailsTheOutputFolderStep() {
        FormFixture f({{"Output Folder", "/somewhere/"}}, Load::Later);
        f.form.env.desktopFolder = [] { return QString(); };
        f.form.Form_Load();
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(f.dialogs.errors().first().startsWith("Invalid procedure call or argument\r\n"));
        QVERIFY(f.dialogs.errors().first().contains("at line 198"));
        QCOMPARE(f.form.Text1->text(), QString());
    }

    void writeBackOnlyOnItsTriggers() {
        FormFixture f;
        Form1& form = f.form;
        // Program-made changes of the slider, swatch and font write nothing.
        form.Slider1->setValue(30);
        form.Picture2->SetBackColor(255);
        form.Text4->SetFontSize(30);
        form.Combo2->setCurrentIndex(4);
        QCoreApplication::processEvents();
        Settings stored = f.stored();
        QVERIFY(!stored.contains("Slider1"));
        QVERIFY(!stored.contains("Font Color"));
        QVERIFY(!stored.contains("FontSize"));
        QCOMPARE(stored.value("Position"), QString("Upper-left"));

        // The user's choices are written at once.
        Choose(form.Combo2, 8);
        Choose(form.Combo1, 2);
        QTest::keyClick(form.Slider1, Qt::Key_PageUp);
        QCoreApplication::processEvents();
        form.Text1->clear();
        QTest::keyClicks(form.Text1, "/out");
        stored = f.stored();
        QCOMPARE(stored.value("Position"), QString("Center"));
        QCOMPARE(stored.value("Combo1"), QString("Stamp date on all images"));
        QCOMPARE(stored.value("Slider1"), QString::number(form.Slider1->value()));
        QVERIFY(form.Slider1->value() != 30);
        QCOMPARE(stored.value("Output Folder"), QString("/out"));
    }

    void pointerFeedback() {
        FormFixture f({}, Load::Later);
        Form1& form = f.form;
        WriteFile(f.t.programFolder() + "/HAND-M.CUR", CursorFile());
        form.Form_Load();
        QVERIFY(form.HasCustomCursor());

        MoveOver(form.PushButton2);
        QCOMPARE(form.MousePointer(), Form1::kPointerCustom);
        QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(form.cursor().hotSpot(), QPoint(5, 1));
        MoveOver(form.Frame4);
        QCOMPARE(form.MousePointer(), Form1::kPointerDefault);
        MoveOver(form.PushButton9);
        QCOMPARE(form.MousePointer(), Form1::kPointerCustom);
        MoveOver(&form);
        QCOMPARE(form.MousePointer(), Form1::kPointerDefault);

        // The busy pointer survives every hover.
        form.SetMousePointer(Form1::kPointerBusy);
        for (QWidget* w : std::initializer_list<QWidget*>{form.PushButton1, form.Text1, form.Frame2,
                                                          form.Text4->viewport(), form.Slider1}) {
            MoveOver(w);
            QCOMPARE(form.MousePointer(), Form1::kPointerBusy);
        }
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
    }

    void handWithoutCursorFileIsTheArrow() {
        FormFixture f;
        QVERIFY(!f.form.HasCustomCursor());
        MoveOver(f.form.PushButton3);
        QCOMPARE(f.form.MousePointer(), Form1::kPointerCustom);
        QCOMPARE(f.form.cursor().shape(), Qt::ArrowCursor);
    }

    void unreadableCursorFileIsReportedAtLine108() {
        FormFixture f({}, Load::Later);
        WriteFile(f.t.programFolder() + "/HAND-M.CUR", "not a cursor");
        f.form.Form_Load();
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(f.dialogs.errors().first().contains("Form1.Form_Load at line 108"));
        QCOMPARE(f.form.Combo2->currentText(), QString("Upper-left"));
    }

    void skinColoursTheWindow() {
        QCOMPARE(FormFixture().form.palette().color(QPalette::Window), QColor(Qt::white));
        FormFixture f({}, Load::Later);
        QDir(f.t.programFolder()).mkpath("x");
        WriteFile(f.t.programFolder() + "/x/o.cjs", "");
        f.form.Form_Load();
        QCOMPARE(f.form.palette().color(QPalette::Window), ButtonFaceColor());
        QCOMPARE(f.form.Frame1->palette().color(QPalette::Window), ButtonFaceColor());
    }

    void layoutFollowsTheDesign() {
        FormFixture f;
        const Form1& form = f.form;
        QCOMPARE(form.size(), QSize(1064, 443));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.ListView1->geometry(), QRect(8, 8, 520, 121));
        QCOMPARE(form.Text4->geometry(), QRect(536, 7, 520, 395));
        QCOMPARE(form.PushButton6->geometry(), QRect(536, 409, 520, 27));
        QCOMPARE(form.Combo2->parentWidget(), form.Frame2);
        QCOMPARE(form.PushButton4->geometry(), QRect(464, 20, 40, 23));
        QVERIFY(!form.Combo1->isEditable());
        QVERIFY(!form.Combo2->isEditable());
        QCOMPARE(form.Combo2->count(), 9);
        QCOMPARE(form.Combo1->count(), 7);
        QCOMPARE(form.Slider1->maximum(), 100);
        QCOMPARE(form.Slider1->pageStep(), 5);
        QCOMPARE(form.PushButton2->font().pointSizeF(), 11.25);
        QVERIFY(form.PushButton2->font().bold());
        QCOMPARE(form.ProgressBar1->format(), QString("Progress Bar"));
        QCOMPARE(form.ListView1->toolTip(),
                 QString("Drag and drop files here. Double-click item to remove it. Move | line "
                         "to right and out of window to reveal full names."));
        // The preview button lies below the client area, right after "Change Font" in the
        // tab order.
        QVERIFY(form.PushButton5->geometry().top() >= form.height());
        QCOMPARE(form.PushButton6->nextInFocusChain(), form.PushButton5);
    }

    void closingEndsTheProgram() {
        FormFixture f;
        f.form.show();
        f.form.close();
        QCOMPARE(f.t.endProgramCalls, 1);
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"

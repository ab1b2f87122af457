// SPDX-License-Identifier: MIT
#include "core/ink.h"
#include "core/overlay_text.h"
#include "core/stamp_text.h"
#include "support/form_fixture.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class StampComboTest : public QObject {
    Q_OBJECT

private slots:
    void timeTexts_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("both");
        const QDateTime afternoon(QDate(2026, 12, 6), QTime(15, 4, 5));
        const QDate second(2026, 1, 2);
        QTest::newRow("us afternoon") << afternoon << u"en_US"_s << u"3:04:05 PM"_s
                                      << u"12/6/2026"_s << u"12/6/2026 3:04:05 PM"_s;
        QTest::newRow("us midnight") << QDateTime(second, QTime(0, 0, 0)) << u"en_US"_s
                                     << u"12:00:00 AM"_s << u"1/2/2026"_s << u"1/2/2026"_s;
        QTest::newRow("us one second past midnight")
            << QDateTime(second, QTime(0, 0, 1)) << u"en_US"_s << u"12:00:01 AM"_s << u"1/2/2026"_s
            << u"1/2/2026 12:00:01 AM"_s;
        QTest::newRow("german") << afternoon << u"de_DE"_s << u"15:04:05"_s << u"06.12.2026"_s
                                << u"06.12.2026 15:04:05"_s;
    }
    void timeTexts() {
        QFETCH(QDateTime, now);
        QFETCH(QString, locale);
        QFETCH(QString, time);
        QFETCH(QString, date);
        QFETCH(QString, both);
        const QLocale l(locale);
        QCOMPARE(TimeText(now, l), time);
        QCOMPARE(DateText(now, l), date);
        QCOMPARE(DateTimeText(now, l), both);
    }

    void modesFillTheTextBox_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("text");
        const QStringList list{"/pics/first.jpg", "/Pics/a.b.jpg", "noslash"};
        QTest::newRow("own text") << 0 << list << 0 << "Your text goes here";
        QTest::newRow("time") << 1 << list << 0 << "3:04:05 PM";
        QTest::newRow("date") << 2 << list << 0 << "12/6/2026";
        QTest::newRow("date and time") << 3 << list << 0 << "12/6/2026 3:04:05 PM";
        QTest::newRow("name, empty list") << 4 << QStringList() << 0 << "Filename";
        QTest::newRow("name, none selected") << 4 << list << 0 << "first.jpg";
        QTest::newRow("name, selected") << 4 << list << 2 << "a.b.jpg";
        QTest::newRow("no extension") << 5 << list << 2 << "a.b";
        QTest::newRow("full path") << 6 << list << 2 << "/Pics/a.b.jpg";
        QTest::newRow("name without separator") << 4 << list << 3 << "noslash";
    }
    void modesFillTheTextBox() {
        QFETCH(int, mode);
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(QString, text);
        FormFixture f;
        for (const QString& e : entries) {
            f.form.ListView1->Add(e);
        }
        if (selected > 0) {
            f.form.ListView1->Selected(selected);
        }
        Choose(f.form.Combo1, mode);
        QCOMPARE(f.form.Text4->Text(), text);
        QCOMPARE(f.dialogs.errors(), QStringList());
    }

    void timeIsTakenWhenTheModeIsChosen() {
        FormFixture f({}, Load::Later);
        QDateTime clock(QDate(2026, 12, 6), QTime(9, 0, 0));
        f.form.env.now = [&clock] { return clock; };
        f.form.Form_Load();
        Choose(f.form.Combo1, 1);
        clock = clock.addSecs(60);
        f.form.ListView1->Add("/a.jpg");
        f.form.StampFilename(1);
        QCOMPARE(f.form.Text4->Text(), QString("9:00:00 AM"));
    }

    void perFileCallsLeaveOwnTextAlone() {
        FormFixture f;
        f.form.ListView1->Add("/a.jpg");
        for (int mode : {0, 1, 2, 3}) {
            f.form.Combo1->setCurrentIndex(mode);
            f.form.Text4->SetText("Mine\r\nTwo lines");
            f.form.StampFilename(1);
            QCOMPARE(f.form.Text4->Text(), QString("Mine\r\nTwo lines"));
        }
    }

    void indexBeyondTheListIsReported() {
        FormFixture f;
        f.form.ListView1->Add("/a.jpg");
        f.form.Combo1->setCurrentIndex(4);
        f.form.Text4->SetText("before");
        f.form.StampFilename(5);
        QCOMPARE(f.form.Text4->Text(), QString("before"));
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(f.dialogs.errors().first().contains(
            "in Pellinor2021/08/31.Form1.StampFilename at line 104"));
    }

    void lineBreaksAreCrLfOnlyWhereTyped() {
        FormFixture f;
        f.form.Text4->setPlainText("one\ntwo");
        QCOMPARE(f.form.Text4->Text(), QString("one\r\ntwo"));
        f.form.Text4->SetText("a\r\nb\r\n");
        QCOMPARE(f.form.Text4->Text(), QString("a\r\nb\r\n"));
    }

    // Only CR LF cuts lines: a lone CR or LF of a file name stays, and stamps on one line.
    void loneLineBreakInAFileNameStaysOnOneLine_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::newRow("LF in the name") << 4 << u"/pics/a\nb.jpg"_s << u"a\nb.jpg"_s << 1;
        QTest::newRow("CR, no extension") << 5 << u"/pics/a\rb.c.jpg"_s << u"a\rb.c"_s << 1;
        QTest::newRow("both in the full path")
            << 6 << u"/pi\ncs/\n\rx\r.jpg"_s << u"/pi\ncs/\n\rx\r.jpg"_s << 1;
        QTest::newRow("paragraph mark") << 4 << u"/pics/a\u2029b.jpg"_s << u"a\u2029b.jpg"_s << 1;
        QTest::newRow("CR LF cuts")
            << 4 << u"/pics/two\r\nlines.jpg"_s << u"two\r\nlines.jpg"_s << 2;
    }
    void loneLineBreakInAFileNameStaysOnOneLine() {
        QFETCH(int, mode);
        QFETCH(QString, entry);
        QFETCH(QString, text);
        QFETCH(int, lines);
        FormFixture f;
        f.form.ListView1->Add(entry);
        Choose(f.form.Combo1, mode);
        QCOMPARE(f.form.Text4->Text(), text);
        QCOMPARE(f.form.Text4->document()->blockCount(), lines);
        // Typing elsewhere in the box keeps the character.
        QTextCursor end(f.form.Text4->document());
        end.movePosition(QTextCursor::End);
        end.insertText(u"!"_s);
        QCOMPARE(f.form.Text4->Text(), text + u"!"_s);

        Canvas canvas;
        const QImage picture = PlainImage(800, 200);
        canvas.SetPicture(picture);
        canvas.SetFontName(u"Arial"_s);
        canvas.SetFontSize(24);
        canvas.ForeColor = 0;
        OverlayText2(canvas, f.form.Text4->Text(), u"Upper-left"_s, f.dialogs);
        const QRect ink = InkBox(canvas.Image(), picture);
        QFont font(u"Arial"_s);
        font.setPointSizeF(24);
        const double lineHeight = Metrics96(font).lineSpacing();
        QVERIFY2(ink.height() > (lines - 1) * lineHeight && ink.height() <= lines * lineHeight,
                 qPrintable(QString::number(ink.height())));
        QCOMPARE(f.dialogs.errors(), QStringList());
    }
};

QTEST_MAIN(StampComboTest)
#include "stamp_combo_test.moc"

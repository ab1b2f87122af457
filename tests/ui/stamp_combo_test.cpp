#include "core/stamp_text.h"
#include "filelist/file_list_view.h"
#include "support/fake_dialogs.h"
#include "support/test_environment.h"
#include "ui/form1.h"
#include "ui/stamp_text_box.h"

#include <QComboBox>
#include <QtTest>

namespace {

void ChooseMode(Form1& form, int mode) {
    form.Combo1->setCurrentIndex(mode);
    emit form.Combo1->activated(mode);
}

}  // namespace

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
        QTest::newRow("us afternoon") << afternoon << "en_US"
                                      << "3:04:05 PM"
                                      << "12/6/2026"
                                      << "12/6/2026 3:04:05 PM";
        QTest::newRow("us midnight") << QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0)) << "en_US"
                                     << "12:00:00 AM"
                                     << "1/2/2026"
                                     << "1/2/2026";
        QTest::newRow("us one second past midnight")
            << QDateTime(QDate(2026, 1, 2), QTime(0, 0, 1)) << "en_US"
            << "12:00:01 AM"
            << "1/2/2026"
            << "1/2/2026 12:00:01 AM";
        QTest::newRow("german") << afternoon << "de_DE"
                                << "15:04:05"
                                << "06.12.2026"
                                << "06.12.2026 15:04:05";
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
        TestEnvironment t;
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        for (const QString& e : entries) {
            form.ListView1->Add(e);
        }
        if (selected > 0) {
            form.ListView1->Selected(selected);
        }
        ChooseMode(form, mode);
        QCOMPARE(form.Text4->Text(), text);
        QCOMPARE(dialogs.errors(), QStringList());
    }

    void timeIsTakenWhenTheModeIsChosen() {
        TestEnvironment t;
        QDateTime clock(QDate(2026, 12, 6), QTime(9, 0, 0));
        t.env.now = [&clock] { return clock; };
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        ChooseMode(form, 1);
        clock = clock.addSecs(60);
        form.ListView1->Add("/a.jpg");
        form.StampFilename(1);
        QCOMPARE(form.Text4->Text(), QString("9:00:00 AM"));
    }

    void perFileCallsLeaveOwnTextAlone() {
        TestEnvironment t;
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        form.ListView1->Add("/a.jpg");
        form.Text4->SetText("Mine\r\nTwo lines");
        for (int mode : {0, 1, 2, 3}) {
            form.Combo1->setCurrentIndex(mode);
            form.Text4->SetText("Mine\r\nTwo lines");
            form.StampFilename(1);
            QCOMPARE(form.Text4->Text(), QString("Mine\r\nTwo lines"));
        }
    }

    void indexBeyondTheListIsReported() {
        TestEnvironment t;
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        form.ListView1->Add("/a.jpg");
        form.Combo1->setCurrentIndex(4);
        form.Text4->SetText("before");
        form.StampFilename(5);
        QCOMPARE(form.Text4->Text(), QString("before"));
        QCOMPARE(dialogs.errors().size(), 1);
        QVERIFY(dialogs.errors().first().contains(
            "in Pellinor2021/08/31.Form1.StampFilename at line 104"));
    }

    void lineBreaksAreCrLfOnlyWhereTyped() {
        TestEnvironment t;
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        form.Text4->setPlainText("one\ntwo");
        QCOMPARE(form.StampText(), QString("one\r\ntwo"));
        form.Text4->SetText("a\r\nb\r\n");
        QCOMPARE(form.StampText(), QString("a\r\nb\r\n"));
    }
};

QTEST_MAIN(StampComboTest)
#include "stamp_combo_test.moc"

// SPDX-License-Identifier: MIT
#include "util/error_trap.h"
#include "support/fake_dialogs.h"
#include "support/test_environment.h"
#include "util/maker_site.h"

#include <QtTest>

class ErrorTrapTest : public QObject {
    Q_OBJECT

private slots:
    void messageTextIsExact() {
        FakeDialogs dialogs;
        ErrorTrap trap(dialogs, "Form1.PushButton2_Click");
        trap.Do(170, [] { Raise(5, "Cannot save the image. GDI+ Error:7"); });
        QCOMPARE(dialogs.calls.size(), 1);
        const FakeDialogs::Call& box = dialogs.calls.first();
        QCOMPARE(box.title, QString("Application Error"));
        QCOMPARE(box.icon, Dialogs::Icon::Warning);
        QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
        QCOMPARE(box.text, QString("Cannot save the image. GDI+ Error:7\r\n"
                                   "in Pellinor2021/08/31.Form1.PushButton2_Click at line 170\r\r"
                                   "Please email screenshot of this message to ") +
                               kSupportAddress);
    }

    void otherProjectTag() {
        FakeDialogs dialogs;
        ErrorTrap trap(dialogs, "AddFolder.GetSubDirectories2016", "Dunmeroth2021/08/31");
        QCOMPARE(trap.LocationText(),
                 QString("in Dunmeroth2021/08/31.AddFolder.GetSubDirectories2016 "));
    }

    void goesOnAfterAFailure() {
        FakeDialogs dialogs;
        ErrorTrap trap(dialogs, "Form1.Test");
        QStringList ran;
        QVERIFY(trap.Do(100, [&] { ran << "100"; }));
        QVERIFY(!trap.Do(102, [&] { Raise(13); }));
        QVERIFY(trap.Do(104, [&] { ran << "104"; }));
        QCOMPARE(ran, QStringList({"100", "104"}));
        QCOMPARE(trap.errorCount(), 1);
        QVERIFY(dialogs.errors().first().startsWith("Type mismatch\r\n"));
        QVERIFY(dialogs.errors().first().contains("at line 102\r\r"));
    }

    void failedTestCountsAsPassed() {
        FakeDialogs dialogs;
        ErrorTrap trap(dialogs, "Form1.Test");
        QVERIFY(trap.Test(106, []() -> bool { Raise(6); }));
        QVERIFY(!trap.Test(108, [] { return false; }));
        QCOMPARE(dialogs.errors().size(), 1);
    }

    void nestedRoutineWithoutTrapReportsToCaller() {
        FakeDialogs dialogs;
        ErrorTrap trap(dialogs, "Form1.Caller");
        auto routineWithoutTrap = [] { throw std::runtime_error("inner failure"); };
        trap.Do(120, routineWithoutTrap);
        QCOMPARE(dialogs.errors().size(), 1);
        QVERIFY(dialogs.errors().first().startsWith(
            "inner failure\r\nin Pellinor2021/08/31.Form1.Caller at line 120"));
    }

    void makerSiteOneInAHundred_data() {
        QTest::addColumn<double>("draw");
        QTest::addColumn<bool>("opens");
        QTest::newRow("n = 7") << 0.0601 << true;
        QTest::newRow("n = 6") << 0.0599 << false;
        QTest::newRow("n = 8") << 0.07 << false;
        QTest::newRow("n = 1") << 0.0 << false;
    }
    void makerSiteOneInAHundred() {
        QFETCH(double, draw);
        QFETCH(bool, opens);
        TestEnvironment t;
        t.env.random = [draw] { return draw; };
        FakeDialogs dialogs;
        MaybeOpenMakerSite(t.env, dialogs);
        QCOMPARE(dialogs.openedUrls.size(), opens ? 1 : 0);
        if (opens) {
            QCOMPARE(dialogs.openedUrls.first().toString(), QString(kMakerSiteAddress));
        }
    }
};

QTEST_MAIN(ErrorTrapTest)
#include "error_trap_test.moc"

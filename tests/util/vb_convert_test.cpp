// SPDX-License-Identifier: MIT
#include "util/vb_convert.h"
#include "support/raised.h"

#include <QtTest>

class VbConvertTest : public QObject {
    Q_OBJECT

private slots:
    void toInt16_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("error");
        QTest::newRow("whole") << "24" << 24 << 0;
        QTest::newRow("half to even down") << "10.5" << 10 << 0;
        QTest::newRow("half to even up") << "11.5" << 12 << 0;
        QTest::newRow("below half") << "9.4" << 9 << 0;
        QTest::newRow("negative half") << "-2.5" << -2 << 0;
        QTest::newRow("blanks") << " 12 " << 12 << 0;
        QTest::newRow("not a number") << "abc" << 0 << 13;
        QTest::newRow("empty") << "" << 0 << 13;
        QTest::newRow("too big") << "40000" << 0 << 6;
    }
    void toInt16() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(int, error);
        int converted = 0;
        QCOMPARE(Raised([&] { converted = ToInt16(text); }).number(), error == 0 ? -1 : error);
        QCOMPARE(converted, value);
    }

    void int32Range() {
        QCOMPARE(ToInt32("16777215"), 16777215);
        QVERIFY_THROWS_EXCEPTION(VbError, ToInt32("3000000000"));
    }

    void flags() {
        QCOMPARE(FlagText(true), QString("True"));
        QCOMPARE(FlagText(false), QString("False"));
        QVERIFY(IsTrueText("True"));
        QVERIFY(!IsTrueText("true"));
        QVERIFY(!IsTrueText("TRUE"));
        QVERIFY(!IsTrueText(""));
    }
};

QTEST_MAIN(VbConvertTest)
#include "vb_convert_test.moc"

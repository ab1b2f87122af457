// SPDX-License-Identifier: MIT
#include "util/path_bytes.h"

#include <QtTest>

class PathBytesTest : public QObject {
    Q_OBJECT

private slots:
    void bytesSurviveText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("kept");
        QTest::newRow("ascii") << QByteArray("/a/b.jpg") << false;
        QTest::newRow("utf-8") << QByteArray("/caf\xc3\xa9.jpg") << false;
        QTest::newRow("latin-1") << QByteArray("/caf\xe9.jpg") << true;
        QTest::newRow("cut sequence") << QByteArray("a\xc3") << true;
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << true;
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << true;
        QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << true;
        // U+10080 is D800 DC80 in UTF-16: its second half looks like a kept 0x80.
        QTest::newRow("U+10080") << QByteArray("\xf0\x90\x82\x80") << false;
        QTest::newRow("U+10080 then a kept byte") << QByteArray("\xf0\x90\x82\x80\x80") << true;
        QTest::newRow("kept byte then U+10080") << QByteArray("\xff\xf0\x90\x82\x80") << true;
    }
    void bytesSurviveText() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, kept);
        const QString text = PathText(bytes);
        QCOMPARE(PathBytes(text), bytes);
        QCOMPARE(HoldsKeptBytes(text), kept);
        if (!kept) {
            QCOMPARE(text, QString::fromUtf8(bytes));
        }
        QVERIFY(!HoldsKeptBytes(PathForPeople(text)));
    }

    // Every byte string of one or two bytes comes back as it went in.
    void everyShortNameRoundTrips() {
        for (int a = 1; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                QByteArray bytes(1, char(a));
                if (b != 0) {
                    bytes += char(b);
                }
                if (PathBytes(PathText(bytes)) != bytes) {
                    QFAIL(qPrintable(QString("bytes %1 %2").arg(a).arg(b)));
                }
            }
        }
    }

    void peopleSeeReplacementCharacters() {
        QCOMPARE(PathForPeople(PathText("caf\xe9.jpg")), QString::fromUtf8("caf\xef\xbf\xbd.jpg"));
    }
};

QTEST_GUILESS_MAIN(PathBytesTest)
#include "path_bytes_test.moc"

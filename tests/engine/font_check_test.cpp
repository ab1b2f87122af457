// SPDX-License-Identifier: MIT
// The font check against the machine's font database: an installed family in any letter
// case, and families that are not there.
#include "engine/font_check.h"

#include <QFontDatabase>
#include <QtTest>

class FontCheckTest : public QObject {
    Q_OBJECT

private slots:
    void check_data() {
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("installed");
        QTest::newRow("installed") << "DejaVu Sans" << true;
        QTest::newRow("another letter case") << "dejavu SANS" << true;
        QTest::newRow("bold and italic of an installed family") << "DejaVu Serif" << true;
        QTest::newRow("made up") << "Velloran Nowhere Grotesk" << false;
        QTest::newRow("empty") << "" << false;
    }
    void check() {
        QFETCH(QString, family);
        QFETCH(bool, installed);
        if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans"))) {
            QSKIP("needs fonts-dejavu-core");
        }
        const bool styled = QTest::currentDataTag() == QByteArray("bold and italic of an "
                                                                  "installed family");
        const FontCheck check = CheckFont(family, styled, styled);
        QCOMPARE(check.family, family);
        QCOMPARE(check.installed, installed);
        // What is drawn is always a family the database holds: the asked one when installed.
        QVERIFY(QFontDatabase::families().contains(check.drawnWith));
        if (installed) {
            QCOMPARE(check.drawnWith.toLower(), family.toLower());
        } else {
            QVERIFY(check.drawnWith.compare(family, Qt::CaseInsensitive) != 0);
        }
    }
};

QTEST_MAIN(FontCheckTest)
#include "font_check_test.moc"

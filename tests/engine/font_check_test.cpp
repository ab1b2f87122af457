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
        QTest::addColumn<QString>("drawn");  // empty: any other family
        QTest::addColumn<bool>("styled");    // bold and italic
        QTest::newRow("installed") << "DejaVu Sans" << true << "DejaVu Sans" << false;
        QTest::newRow("another letter case") << "dejavu SANS" << true << "DejaVu Sans" << false;
        QTest::newRow("bold and italic") << "DejaVu Serif" << true << "DejaVu Serif" << true;
        QTest::newRow("a stand-in: Arial") << "Arial" << false << "Liberation Sans" << false;
        QTest::newRow("made up") << "Velloran Nowhere Grotesk" << false << "" << true;
        QTest::newRow("empty") << "" << false << "" << false;
    }
    void check() {
        QFETCH(QString, family);
        QFETCH(bool, installed);
        QFETCH(QString, drawn);
        QFETCH(bool, styled);
        const QStringList families = QFontDatabase::families();
        if (!families.contains(QStringLiteral("DejaVu Sans")) ||
            !families.contains(QStringLiteral("Liberation Sans"))) {
            QSKIP("needs fonts-dejavu-core and fonts-liberation");
        }
        const FontCheck check = CheckFont(family, styled, styled);
        QCOMPARE(check.family, family);
        QCOMPARE(check.installed, installed);
        // What is drawn is always a family the database holds: the asked one when installed,
        // fontconfig's metric-compatible stand-in for Arial.
        QVERIFY(families.contains(check.drawnWith));
        if (!drawn.isEmpty()) {
            QCOMPARE(check.drawnWith, drawn);
        } else {
            QVERIFY(check.drawnWith.compare(family, Qt::CaseInsensitive) != 0);
        }
    }
};

QTEST_MAIN(FontCheckTest)
#include "font_check_test.moc"

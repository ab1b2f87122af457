// SPDX-License-Identifier: MIT
#include "core/stamp_text.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kAfternoon(QDate(2026, 12, 6), QTime(15, 4, 5));

bool IsSeparator(QChar c) {
    return c.isSpace() || c == u',' || c == QChar(0x060C) || c == QChar(0xFF0C) ||
           c == QChar(0x3001);
}

// What is wrong with a time text, or nothing.
QString TimeTextFault(const QString& text, const QLocale& locale) {
    if (text.isEmpty()) {
        return u"empty"_s;
    }
    QString squeezed = text;
    squeezed.remove(QRegularExpression(u"\\s"_s));
    for (const QString& empty : {u"()"_s, u"[]"_s, u"\uFF08\uFF09"_s, u"\u3010\u3011"_s}) {
        if (squeezed.contains(empty)) {
            return u"empty brackets"_s;
        }
    }
    if (IsSeparator(text.back())) {
        return u"trailing separator"_s;
    }
    if (IsSeparator(text.front())) {
        return u"leading separator"_s;
    }
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text.at(i).isSpace() && text.at(i - 1).isSpace()) {
            return u"doubled blank"_s;
        }
    }
    // The minutes, in the locale's own digits, are still there.
    if (!text.contains(locale.toString(kAfternoon.time().minute()))) {
        return u"no minutes"_s;
    }
    return QString();
}

}  // namespace

class StampTextTest : public QObject {
    Q_OBJECT

private slots:
    // Locales whose long time format puts the zone in brackets, after a comma or first.
    void zoneGoesWithItsPunctuation_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("time");
        QTest::newRow("ca_ES: (t)") << u"ca_ES"_s << u"15:04:05"_s;
        QTest::newRow("fa_IR: (t)") << u"fa_IR"_s << u"۱۵:۰۴:۰۵"_s;
        QTest::newRow("be_BY: , t") << u"be_BY"_s << u"15:04:05"_s;
        QTest::newRow("sq_AL: AP, t") << u"sq_AL"_s << u"3:04:05 E PASDITES"_s;
        QTest::newRow("yue_HK: [t]") << u"yue_HK"_s << u"下午3:04:05"_s;
        QTest::newRow("my_MM: zone first") << u"my_MM"_s << u"၁၅:၀၄:၀၅"_s;
        QTest::newRow("bg_BG: abbreviation kept") << u"bg_BG"_s << u"15:04:05 ч."_s;
        QTest::newRow("nds_DE: literal first") << u"nds_DE"_s << u"Klock 15.04:05"_s;
        QTest::newRow("en_US") << u"en_US"_s << u"3:04:05 PM"_s;
    }
    void zoneGoesWithItsPunctuation() {
        QFETCH(QString, locale);
        QFETCH(QString, time);
        QCOMPARE(TimeText(kAfternoon, QLocale(locale)), time);
    }

    // Every locale Qt knows gives a time text without the faults TimeTextFault names.
    void everyLocaleGivesACleanTimeText() {
        const QList<QLocale> locales = QLocale::matchingLocales(
            QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
        QVERIFY(locales.size() > 100);
        QStringList faults;
        for (const QLocale& locale : locales) {
            const QString time = TimeText(kAfternoon, locale);
            const QString fault = TimeTextFault(time, locale);
            if (!fault.isEmpty()) {
                faults << locale.name() + u": "_s + fault + u" ["_s + time + u"]"_s;
            }
            const QString both = DateTimeText(kAfternoon, locale);
            if (!both.endsWith(time) || both.contains(u"  "_s) || IsSeparator(both.back())) {
                faults << locale.name() + u": date and time ["_s + both + u"]"_s;
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }
};

QTEST_MAIN(StampTextTest)
#include "stamp_text_test.moc"

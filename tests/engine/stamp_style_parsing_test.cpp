// SPDX-License-Identifier: MIT
#include "engine/stamp_style_parsing.h"

#include <QtTest>

namespace {

QString Describe(const std::optional<StampLength>& length) {
    if (!length) {
        return QStringLiteral("-");
    }
    const char* unit = length->unit == StampLength::Unit::ShorterSide ? "share"
                       : length->unit == StampLength::Unit::Pixels    ? "px"
                                                                      : "em";
    return QStringLiteral("%1 %2").arg(QLatin1String(unit)).arg(length->value);
}

QString Describe(const std::optional<QRgb>& color) {
    return color ? QStringLiteral("#%1").arg(*color, 8, 16, QLatin1Char('0')).toUpper()
                 : QStringLiteral("-");
}

// One canonical text per parsed value, "error" for a refused text, so every kind of value
// fits one table.
QString Parse(const QString& kind, const QString& text) {
    if (kind == "size" || kind == "margin") {
        const auto parsed = kind == "size" ? ParseStampSize(text) : ParseStampMargin(text);
        return parsed.value ? Describe(parsed.value) : QStringLiteral("error");
    }
    if (kind == "color") {
        const auto parsed = ParseStampTextColor(text);
        if (!parsed.value) {
            return QStringLiteral("error");
        }
        return parsed.value->automatic
                   ? "auto " + Describe(parsed.value->first) + ' ' + Describe(parsed.value->second)
                   : Describe(parsed.value->fixed);
    }
    const auto parsed = ParseStampDecoration(text);
    return parsed.value ? Describe(parsed.value->length) + ' ' + Describe(parsed.value->color)
                        : QStringLiteral("error");
}

}  // namespace

class StampStyleParsingTest : public QObject {
    Q_OBJECT

private slots:
    void valueTexts_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QList<std::array<const char*, 3>> rows = {
            {"size", "3%", "share 0.03"},
            {"size", " 48px ", "px 48"},
            {"size", "2.5PX", "px 2.5"},
            {"size", "0%", "error"},
            {"size", "-3%", "error"},
            {"size", "101%", "error"},
            {"size", "nan%", "error"},
            {"size", "inf px", "error"},
            {"size", "48", "error"},
            {"size", "1em", "error"},
            {"margin", "0px", "px 0"},
            {"margin", "1em", "em 1"},
            {"margin", "2%", "share 0.02"},
            {"margin", "30%", "error"},
            {"color", "#80FFFFFF", "#80FFFFFF"},
            {"color", "#ff0000", "#FFFF0000"},
            {"color", "navy", "#FF000080"},
            {"color", "#00000080", "error"},
            {"color", "transparent", "error"},
            {"color", "", "error"},
            {"color", "auto", "auto #FFFFFFFF #FF000000"},
            {"color", "auto:#FFD700,#202020", "auto #FFFFD700 #FF202020"},
            {"color", "auto:#FFD700", "error"},
            {"color", "auto:#FFD700,nonsense", "error"},
            {"decoration", "", "- -"},
            {"decoration", "0.4em,#80000000", "em 0.4 #80000000"},
            {"decoration", "3px", "px 3 -"},
            {"decoration", ",white", "- #FFFFFFFF"},
            {"decoration", "1%", "share 0.01 -"},
            {"decoration", "11em", "error"},
            {"decoration", "0.4em,", "error"},
            {"decoration", "0.4,#80000000", "error"},
        };
        for (const auto& [kind, text, expected] : rows) {
            QTest::newRow(qPrintable(QStringLiteral("%1 '%2'").arg(kind, text)))
                << QString(kind) << QString(text) << QString(expected);
        }
    }
    void valueTexts() {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(Parse(kind, text), expected);
    }

    // A refused text says why, for the option's message.
    void refusalsExplain() {
        QVERIFY(ParseStampSize(u"3x").error.contains("48px"));
        QVERIFY(ParseStampSize(u"200%").error.contains("out of range"));
        QVERIFY(ParseStampColor(u"#00000080").error.contains("#80000000"));
        QVERIFY(ParseStampTextColor(u"auto:red").error.contains("two colours"));
        QVERIFY(ParseStampSize(u"3%").error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(StampStyleParsingTest)
#include "stamp_style_parsing_test.moc"

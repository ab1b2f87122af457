// SPDX-License-Identifier: MIT
// The companion's settings options held to their declaration: each one is parsed under
// every name it has, lands in the settings, keeps to its declared range, and --help and
// the manual page give it with its argument, range and words.
#include "command_line.h"
#include "engine/stamp_setting_table.h"
#include "engine/starting_stamp_settings.h"
#include "support/form_fixture.h"

#include <QRegularExpression>
#include <QtTest>

#include <vector>

namespace {

// The settings a run would use with these options, as --print-settings shows them.
QString SettingsWith(const QStringList& words) {
    // One environment for every call: its desktop is the default output folder.
    static const TestEnvironment t;
    std::vector<QByteArray> bytes{"velloran-stamp"};
    for (const QString& word : words) {
        bytes.push_back(word.toUtf8());
    }
    std::vector<char*> argv;
    for (QByteArray& word : bytes) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    StampSettings choices = BuiltinStartSettings(t.env);
    ApplyOverrides(choices, ParseCommandLine(int(bytes.size()), argv.data()), t.env);
    return StampSettingsText(choices);
}

// The manual page's paragraph of one option: from its tag line to the next tag, with
// roff's escaped hyphens and font changes taken out.
QString ManPageEntry(const QString& longName) {
    QFile file(QStringLiteral(VELLORAN_STAMP_MAN_PAGE));
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    QString page = QString::fromUtf8(file.readAll());
    page.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    page.remove(QRegularExpression(QStringLiteral(R"(\\f[BIR])")));
    const QStringList paragraphs = page.split(QStringLiteral("\n.TP\n"));
    for (const QString& paragraph : paragraphs) {
        const QString tag = paragraph.section('\n', 0, 0);
        if (tag.contains(QRegularExpression("--" + longName + "\\b(?!-)"))) {
            return paragraph.section(QStringLiteral("\n.S"), 0, 0);
        }
    }
    return QString();
}

// A value each option takes.
QString GoodValue(StampOption id) {
    switch (id) {
        case StampOption::Output:
            return "/x";
        case StampOption::Mode:
            return "stem";
        case StampOption::Text:
        case StampOption::Template:
            return "a";
        case StampOption::Position:
            return "center";
        case StampOption::Font:
            return "Liberation Mono,30";
        case StampOption::Color:
            return "#102030";
        case StampOption::Quality:
            return "7";
        case StampOption::Size:
            return "3%";
        case StampOption::Margin:
            return "20px";
        case StampOption::Outline:
        case StampOption::Shadow:
            return "0.1em";
        case StampOption::Box:
            return "0.4em,#80000000";
    }
    return QString();
}

}  // namespace

class StampOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void everyDeclaredOption_data() {
        QTest::addColumn<int>("setting");
        QTest::addColumn<int>("option");
        for (const StampSettingDeclaration& setting : StampSettingTable()) {
            for (const StampOptionWord& word : setting.options) {
                QTest::newRow(word.longName) << int(setting.id) << int(word.id);
            }
        }
    }
    void everyDeclaredOption() {
        QFETCH(int, setting);
        QFETCH(int, option);
        const StampSettingDeclaration& s = StampSetting(StampSettingId(setting));
        const StampOptionWord& word = StampOptionOf(StampOption(option));
        const QString longName = QString::fromLatin1(word.longName);
        const QString value = GoodValue(word.id);

        // Every name of the option sets the same setting, away from its default.
        const QString set = SettingsWith({"--" + longName, value});
        QVERIFY2(set != SettingsWith({}), qPrintable(set));
        if (word.shortName != '\0') {
            QCOMPARE(SettingsWith({QString('-') + word.shortName, value}), set);
        }
        if (word.alias != nullptr) {
            QCOMPARE(SettingsWith({"--" + QString::fromLatin1(word.alias), value}), set);
        }

        const QString help = QString::fromUtf8(HelpText());
        const QString line = help.section("--" + longName + ' ', 1)
                                 .section("\n  -", 0, 0)
                                 .section("\n      --", 0, 0);
        QVERIFY2(line.startsWith(QString::fromLatin1(word.argument) + ' '), qPrintable(line));
        QVERIFY2(!line.contains("{range}") && !line.contains("{words}"), qPrintable(line));

        const QString entry = ManPageEntry(longName);
        QVERIFY2(!entry.isEmpty(), qPrintable(longName));
        const QString tag = entry.section('\n', 0, 0);
        QVERIFY2(tag.contains(QString::fromLatin1(word.argument)), qPrintable(tag));
        if (word.shortName != '\0') {
            QVERIFY2(tag.contains(QString('-') + word.shortName + ' '), qPrintable(tag));
        }
        if (word.alias != nullptr) {
            QVERIFY2(tag.contains("--" + QString::fromLatin1(word.alias)), qPrintable(tag));
        }
        if (QString::fromLatin1(word.help).contains("{range}")) {
            QVERIFY2(line.simplified().contains(s.range.Text()), qPrintable(line));
            QVERIFY2(entry.simplified().contains(s.range.Text()), qPrintable(entry));
        }
        if (s.words != nullptr) {
            for (const QString& choice : s.words()) {
                QVERIFY2(entry.contains(QRegularExpression("(^|\\s)" + choice + "(\\s|[ ,.]|$)")),
                         qPrintable(choice));
            }
        }
    }

    // A declared option's names cannot take those of another option.
    void optionNamesAreUnique() {
        const QRegularExpression name(QStringLiteral(R"(^  (?:-(\S), )?\s*--([a-z-]+))"),
                                      QRegularExpression::MultilineOption);
        QStringList names;
        for (auto m = name.globalMatch(QString::fromUtf8(HelpText())); m.hasNext();) {
            const QRegularExpressionMatch match = m.next();
            names << "--" + match.captured(2);
            if (match.hasCaptured(1) && !match.captured(1).isEmpty()) {
                names << "-" + match.captured(1);
            }
        }
        QVERIFY(names.contains("--quality") && names.contains("-Q") && names.contains("-q"));
        for (const QString& n : names) {
            QVERIFY2(names.count(n) == 1, qPrintable(n));
        }
    }

    // The declared ranges are the ones the options keep to, at both ends.
    void rangesAtTheirEnds_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("taken");
        const StampValueRange quality = StampSetting(StampSettingId::Quality).range;
        const StampValueRange points = StampSetting(StampSettingId::Font).range;
        const auto q = [](double n) { return QStringList{"-q", QString::number(n)}; };
        const auto f = [](double n) { return QStringList{"-f", "Arial," + QString::number(n)}; };
        QTest::newRow("quality lowest") << q(quality.lowest) << true;
        QTest::newRow("quality below") << q(quality.lowest - 1) << false;
        QTest::newRow("quality highest") << q(quality.highest) << true;
        QTest::newRow("quality above") << q(quality.highest + 1) << false;
        QTest::newRow("points lowest") << f(points.lowest) << !points.aboveLowest;
        QTest::newRow("points just above") << f(points.lowest + 0.5) << true;
        QTest::newRow("points highest") << f(points.highest) << true;
        QTest::newRow("points above") << f(points.highest + 0.5) << false;
    }
    void rangesAtTheirEnds() {
        QFETCH(QStringList, words);
        QFETCH(bool, taken);
        bool accepted = true;
        try {
            SettingsWith(words);
        } catch (const UsageError& e) {
            accepted = false;
            QVERIFY2(e.message().contains(e.message().contains("--font")
                                              ? StampSetting(StampSettingId::Font).range.Text()
                                              : StampSetting(StampSettingId::Quality).range.Text()),
                     qPrintable(e.message()));
        }
        QCOMPARE(accepted, taken);
    }

    // The window's controls take the values the stored keys are declared to hold, and
    // the writers' one clamp keeps to the quality's range.
    void windowControlsAndWritersKeepTheDeclaredRanges() {
        FormFixture f;
        const StampValueRange slider = StampKey("Slider1").range;
        QCOMPARE(double(f.form.Slider1->minimum()), slider.lowest);
        QCOMPARE(double(f.form.Slider1->maximum()), slider.highest);
        const StampValueRange quality = StampSetting(StampSettingId::Quality).range;
        QCOMPARE(double(ClampQuality(f.form.Slider1->minimum())), quality.lowest);
        QCOMPARE(double(ClampQuality(1000)), quality.highest);
        QCOMPARE(ClampQuality(42), 42);
    }
};

QTEST_MAIN(StampOptionsTest)
#include "stamp_options_test.moc"

// SPDX-License-Identifier: MIT
// Settings words as any program hands them to the engine: the order they come in does not
// matter, the last of an option wins, a refusal comes back as text and names the option,
// and a folder scan's extension list keeps or refuses names.
#include "engine/picture_extensions.h"
#include "engine/stamp_setting_words.h"
#include "engine/starting_stamp_settings.h"
#include "support/test_environment.h"

#include <QtTest>

using Words = QList<StampSettingWord>;
Q_DECLARE_METATYPE(Words)

class StampSettingWordsTest : public QObject {
    Q_OBJECT

private slots:
    void wordsInAnyOrderGiveTheSameSettings_data() {
        QTest::addColumn<Words>("first");
        QTest::addColumn<Words>("second");
        QTest::newRow("text before or after its mode")
            << Words{{StampOption::Text, "x"}, {StampOption::Mode, "text"}}
            << Words{{StampOption::Mode, "text"}, {StampOption::Text, "x"}};
        QTest::newRow("alpha colour before or after the size")
            << Words{{StampOption::Color, "#80FF0000"}, {StampOption::Size, "5%"}}
            << Words{{StampOption::Size, "5%"}, {StampOption::Color, "#80FF0000"}};
        QTest::newRow("opaque colour after an alpha one")
            << Words{{StampOption::Color, "#80FF0000"}, {StampOption::Color, "#00FF00"}}
            << Words{{StampOption::Color, "#00FF00"}};
        QTest::newRow("the last quality")
            << Words{{StampOption::Quality, "5"}, {StampOption::Quality, "90"}}
            << Words{{StampOption::Quality, "90"}};
    }
    void wordsInAnyOrderGiveTheSameSettings() {
        QFETCH(Words, first);
        QFETCH(Words, second);
        TestEnvironment t;
        StampSettings a = BuiltinStartSettings(t.env);
        StampSettings b = a;
        QCOMPARE(ApplyStampSettingWords(a, first, t.env), QString());
        QCOMPARE(ApplyStampSettingWords(b, second, t.env), QString());
        QCOMPARE(StampSettingsText(a), StampSettingsText(b));
        QVERIFY(a == b);
    }

    void refusalsNameTheirOption_data() {
        QTest::addColumn<Words>("words");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("text and template")
            << Words{{StampOption::Template, "{n}"}, {StampOption::Text, "x"}}
            << "--text and --template cannot be used together";
        QTest::newRow("template outside the text mode")
            << Words{{StampOption::Template, "{n}"}, {StampOption::Mode, "date"}}
            << "--template needs --mode text";
        QTest::newRow("unknown placeholder")
            << Words{{StampOption::Template, "{size}"}} << "--template \"{size}\": ";
        QTest::newRow("empty folder") << Words{{StampOption::Output, ""}}
                                      << "--output: the folder name is empty";
        QTest::newRow("quality past the range")
            << Words{{StampOption::Quality, "101"}} << "--quality \"101\": a whole number from";
    }
    void refusalsNameTheirOption() {
        QFETCH(Words, words);
        QFETCH(QString, refusal);
        TestEnvironment t;
        StampSettings settings = BuiltinStartSettings(t.env);
        const QString why = ApplyStampSettingWords(settings, words, t.env);
        QVERIFY2(why.startsWith(refusal), qPrintable(why));
    }

    void extensionListsKeepTheirNames() {
        const std::optional<PictureExtensions> some = PictureExtensions::Parse("*.JPG, .png");
        QVERIFY(some.has_value());
        QVERIFY(some->Takes("a.jpg") && some->Takes("b.PNG"));
        QVERIFY(!some->Takes("c.jpeg") && !some->Takes("jpg"));
        QVERIFY(PictureExtensions::Parse("heic,*")->everyFile());
        QVERIFY(PictureExtensions::Parse("pictures")->Takes("x.jxl"));
        for (const char* refused : {"", "jpg,", "a/b", "j*g", "j?g"}) {
            QVERIFY2(!PictureExtensions::Parse(refused), refused);
        }
    }
};

QTEST_GUILESS_MAIN(StampSettingWordsTest)
#include "stamp_setting_words_test.moc"

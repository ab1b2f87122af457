// SPDX-License-Identifier: MIT
// The companion's pieces one by one: its settings against what the window restores, the
// option values it takes and refuses, templates, shards and its JSON strings.
#include "command_line.h"
#include "json_line.h"
#include "progress_meter.h"
#include "settings/settings_store.h"
#include "shard.h"
#include "source_list.h"
#include "engine/starting_stamp_settings.h"
#include "support/form_fixture.h"
#include "engine/stamp_template.h"
#include "util/path_bytes.h"

#include <QtTest>

#include <vector>

namespace {

// Runs the parser over a command line given as words.
CommandLine Parse(const QStringList& words) {
    std::vector<QByteArray> bytes{"velloran-stamp"};
    for (const QString& word : words) {
        bytes.push_back(word.toUtf8());
    }
    std::vector<char*> argv;
    for (QByteArray& word : bytes) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    return ParseCommandLine(static_cast<int>(bytes.size()), argv.data());
}

// The message of the usage error the settings options raise, "" when none.
QString OverrideError(const QStringList& words) {
    TestEnvironment t;
    try {
        StampSettings choices = BuiltinStartSettings(t.env);
        ApplyOverrides(choices, Parse(words), t.env);
    } catch (const UsageError& e) {
        return e.message();
    }
    return QString();
}

}  // namespace

class StampPartsTest : public QObject {
    Q_OBJECT

private slots:
    // The stored settings give the companion what they give the window after its load,
    // including every stored value the window cannot take.
    void storedSettingsAreWhatTheWindowRestores_data() {
        QTest::addColumn<Settings>("stored");
        QTest::newRow("first start") << Settings{};
        QTest::newRow("all set") << Settings{{"Combo1", "Stamp filename on all images"},
                                             {"Position", "Center-bottom"},
                                             {"Font Color", "255"},
                                             {"FontName", "Liberation Serif"},
                                             {"FontBold", "False"},
                                             {"FontItalic", "True"},
                                             {"FontSize", "31"},
                                             {"FontStrikethru", "True"},
                                             {"FontUnderline", "True"},
                                             {"Slider1", "40"},
                                             {"Output Folder", "/srv/out"}};
        QTest::newRow("lower-case flag, half sizes")
            << Settings{{"FontBold", "true"}, {"FontSize", "11.5"}, {"Slider1", "60.5"}};
        QTest::newRow("unknown position and mode")
            << Settings{{"Position", "upper-left"}, {"Combo1", "Stamp nothing"}};
        QTest::newRow("colour not a number") << Settings{{"Font Color", "red"}};
        QTest::newRow("colour out of range") << Settings{{"Font Color", "16777216"}};
        QTest::newRow("size not a number") << Settings{{"FontSize", "big"}};
        QTest::newRow("size zero") << Settings{{"FontSize", "0"}};
        QTest::newRow("quality above the slider") << Settings{{"Slider1", "101"}};
        QTest::newRow("empty output folder") << Settings{{"Output Folder", ""}};
        QTest::newRow("time mode") << Settings{{"Combo1", "Stamp time and date on all images"}};
    }
    void storedSettingsAreWhatTheWindowRestores() {
        QFETCH(Settings, stored);
        FormFixture f(stored);
        // The companion reads the same file after the window has started from it.
        const SettingsStore store(f.t.env.settingsFile);
        SettingsWarnings warnings;
        const StampSettings c = StoredStartSettings(store, f.t.env, f.form.Text4->FontSize(), &warnings);

        QCOMPARE(c.mode, std::max(0, f.form.Combo1->currentIndex()));
        if (c.mode < 4) {
            QCOMPARE(c.text, f.form.Text4->Text());
        }
        QCOMPARE(c.position, f.form.Combo2->currentText());
        QCOMPARE(c.fontFamily, f.form.Text4->FontName());
        QCOMPARE(c.fontSize, f.form.Text4->FontSize());
        QCOMPARE(c.fontBold, f.form.Text4->FontBold());
        QCOMPARE(c.fontItalic, f.form.Text4->FontItalic());
        QCOMPARE(c.fontStrikeout, f.form.Text4->FontStrikethru());
        QCOMPARE(c.fontUnderline, f.form.Text4->FontUnderline());
        QCOMPARE(c.color, f.form.Text4->ForeColor());
        QCOMPARE(c.quality, f.form.Slider1->value());
        QCOMPARE(c.outputFolder, f.form.Text1->text());
        // Every value the window had to leave is named in a warning.
        QCOMPARE(warnings.isEmpty(), f.dialogs.messages().isEmpty());
    }

    void optionValuesAndTheirErrors_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("error");  // a part of the message; "" for none
        QTest::newRow("mode word") << QStringList{"-m", "stem"} << "";
        QTest::newRow("mode unknown") << QStringList{"-m", "stamp"} << "--mode \"stamp\"";
        QTest::newRow("position any case") << QStringList{"-p", "Center-Bottom"} << "";
        QTest::newRow("position unknown") << QStringList{"--position", "middle"} << "choose one of";
        QTest::newRow("font full") << QStringList{"-f", "DejaVu Sans,12.5,italic,underline"} << "";
        QTest::newRow("font no family") << QStringList{"-f", ",12"} << "family is missing";
        QTest::newRow("font size zero") << QStringList{"-f", "Arial,0"} << "size must be";
        QTest::newRow("font unknown word") << QStringList{"-f", "Arial,heavy"} << "\"heavy\"";
        QTest::newRow("colour hex") << QStringList{"-c", "#ff8000"} << "";
        QTest::newRow("colour name") << QStringList{"--color", "orange"} << "";
        QTest::newRow("colour bad") << QStringList{"-c", "#12345"} << "not a colour";
        QTest::newRow("colour empty") << QStringList{"-c", ""} << "not a colour";
        QTest::newRow("quality 1") << QStringList{"-q", "1"} << "";
        QTest::newRow("quality 0") << QStringList{"-q", "0"} << "1 to 100";
        QTest::newRow("quality 101") << QStringList{"-q", "101"} << "1 to 100";
        QTest::newRow("quality text") << QStringList{"-q", "high"} << "1 to 100";
        QTest::newRow("text and template")
            << QStringList{"-t", "a", "--template", "b"} << "cannot be used together";
        QTest::newRow("text with name mode")
            << QStringList{"-m", "name", "-t", "a"} << "--text needs --mode text";
        QTest::newRow("empty output") << QStringList{"-o", ""} << "folder name is empty";
    }
    void optionValuesAndTheirErrors() {
        QFETCH(QStringList, words);
        QFETCH(QString, error);
        const QString message = OverrideError(words);
        if (error.isEmpty()) {
            QCOMPARE(message, QString());
        } else {
            QVERIFY2(message.contains(error), qPrintable(message));
        }
    }

    void overridesLandInTheChoices() {
        TestEnvironment t;
        StampSettings c = BuiltinStartSettings(t.env);
        ApplyOverrides(c,
                       Parse({"-t", "one\ntwo", "-p", "center", "-f", "Liberation Mono,30,bold",
                              "-c", "#102030", "-q", "7", "-o", "/x"}),
                       t.env);
        QCOMPARE(c.mode, 0);
        QCOMPARE(c.text, QString("one\r\ntwo"));
        QCOMPARE(c.position, QString("Center"));
        QCOMPARE(FontText(c), QString("Liberation Mono,30,bold"));
        QCOMPARE(c.color, quint32(0x302010));
        QCOMPARE(c.quality, 7);
        QCOMPARE(c.outputFolder, QString("/x"));
        // A font text without a size keeps the size; left-out styles are off.
        QCOMPARE(ApplyFontText(c, "Liberation Sans,italic"), QString());
        QCOMPARE(FontText(c), QString("Liberation Sans,30,italic"));
    }

    void commandLineErrors_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown long")
            << QStringList{"--colourful"} << "unknown option '--colourful'";
        QTest::newRow("unknown short") << QStringList{"-x"} << "unknown option '-x'";
        QTest::newRow("argument to a flag")
            << QStringList{"--json=yes"} << "unknown option '--json'";
        QTest::newRow("missing long argument")
            << QStringList{"a.jpg", "--output"} << "option '--output' needs an argument";
        QTest::newRow("missing short argument") << QStringList{"-q"} << "option '-q' needs";
    }
    void commandLineErrors() {
        QFETCH(QStringList, words);
        QFETCH(QString, error);
        try {
            Parse(words);
            QFAIL("no usage error");
        } catch (const UsageError& e) {
            QVERIFY2(e.message().contains(error), qPrintable(e.message()));
        }
    }

    void operandsKeepTheirBytesAndMixWithOptions() {
        std::vector<QByteArray> bytes{"velloran-stamp", "a\xff.jpg", "-Q", "-", "--", "-o"};
        std::vector<char*> argv;
        for (QByteArray& word : bytes) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        const CommandLine line = ParseCommandLine(static_cast<int>(bytes.size()), argv.data());
        QVERIFY(line.quiet);
        QCOMPARE(line.operands, (std::vector<QByteArray>{"a\xff.jpg", "-", "-o"}));
    }

    void templates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");  // "!" + part of the error for a refusal
        QTest::newRow("file parts") << "{name}|{stem}|{ext}|{folder}|{path}"
                                    << "a.b.JPG|a.b|JPG|/p/q|/p/q/a.b.JPG";
        QTest::newRow("position and run time") << "#{n} {date} {time}"
                                               << "#7 12/6/2026 3:04:05 PM";
        QTest::newRow("braces") << "{{name}} }}{{"
                                << "{name} }{";
        QTest::newRow("taken default") << "{taken}"
                                       << "5/4/2021 1:02:03 PM";
        QTest::newRow("taken format") << "{taken:yyyy-MM-dd HH.mm}"
                                      << "2021-05-04 13.02";
        QTest::newRow("exif tag") << "{exif:Model}/{exif:LensModel}"
                                  << "Cam 5/";
        // Each date field of both styles for a Tuesday afternoon, the 124th day.
        QTest::newRow("taken date letters") << "{taken:d dd ddd dddd M MM MMM MMMM yy yyyy}"
                                            << "4 04 Tue Tuesday 5 05 May May 21 2021";
        QTest::newRow("taken time letters") << "{taken:h hh H HH m mm s ss z zzz AP ap}"
                                            << "1 01 13 13 2 02 3 03 0 000 PM pm";
        QTest::newRow("taken quoted text") << "{taken:yyyy-MM-dd'T'HH:mm 'o''clock' '100%'}"
                                           << "2021-05-04T13:02 o'clock 100%";
        QTest::newRow("taken % numbers") << "{taken:%Y-%m-%d %H:%M:%S %y}"
                                         << "2021-05-04 13:02:03 21";
        QTest::newRow("taken % names") << "{taken:%a %A %b %B %j [%e] %I %p %%}"
                                       << "Tue Tuesday May May 124 [ 4] 01 PM %";
        QTest::newRow("taken % composites") << "{taken:%F'T'%T %D}"
                                            << "2021-05-04T13:02:03 05/04/21";
        QTest::newRow("known tags a photo lacks")
            << "[{exif:FNumber}{exif:DateTimeOriginal}{exif:Exif.Photo.LensModel}"
               "{exif:creator}{exif:Xmp.dc.title}{exif:Exif.Image.0x9999}]"
            << "[]";
        QTest::newRow("taken letters as date(1) writes them")
            << "{taken:YYYY-MM-DD hh:mm}"
            << "!\"YYYY\": use yyyy for the year; \"DD\": use dd for the day";
        QTest::newRow("taken letter meant as text")
            << "{taken:yyyy-MM-ddTHH}"
            << "!\"T\": not a date letter; put text in quotes";
        QTest::newRow("taken three y") << "{taken:yyy}"
                                       << "!\"yyy\": use yyyy or yy";
        QTest::newRow("taken five d") << "{taken:ddddd}"
                                      << "!\"ddddd\": use d, dd";
        QTest::newRow("taken lone p") << "{taken:hh p}"
                                      << "!\"p\": use AP or ap";
        QTest::newRow("taken open quote") << "{taken:dd 'MM}"
                                          << "!without its closing";
        QTest::newRow("taken styles mixed") << "{taken:%Y-MM}"
                                            << "!\"MM\" beside %-forms";
        QTest::newRow("taken unknown % form") << "{taken:%Y %Q}"
                                              << "!\"%Q\" is not a %-form";
        QTest::newRow("taken trailing %") << "{taken:%d%}"
                                          << "!\"%\" is not a %-form";
        QTest::newRow("exif misspelt")
            << "{exif:Modle}"
            << "!\"Modle\" is not a tag exiv2 knows (did you mean Mode or Model?)";
        QTest::newRow("exif key misspelt") << "{exif:Exif.Image.Modle}"
                                           << "!not an EXIF key exiv2 knows";
        QTest::newRow("exif unknown group") << "{exif:Exif.Camera.Model}"
                                            << "!not an EXIF key exiv2 knows";
        QTest::newRow("xmp property misspelt") << "{exif:Xmp.dc.creatr}"
                                               << "!not an XMP key exiv2 knows";
        QTest::newRow("xmp unknown namespace") << "{exif:Xmp.zz.creator}"
                                               << "!not an XMP key exiv2 knows";
        QTest::newRow("unknown") << "{size}"
                                 << "!unknown placeholder {size}";
        QTest::newRow("case matters") << "{Name}"
                                      << "!unknown placeholder {Name}";
        QTest::newRow("open brace") << "a {name"
                                    << "!without its \"}\"";
        QTest::newRow("close brace") << "a } b"
                                     << "!without its \"{\"";
        QTest::newRow("empty exif") << "{exif:}"
                                    << "!needs a tag name";
        QTest::newRow("empty taken format") << "{taken:}"
                                            << "!needs a format";
    }
    void templates() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        try {
            const StampTemplate tpl(text);
            StampTemplate::Source s;
            s.path = "/p/q/a.b.JPG";
            s.position = 7;
            s.date = "12/6/2026";
            s.time = "3:04:05 PM";
            s.taken = [] { return QDateTime(QDate(2021, 5, 4), QTime(13, 2, 3)); };
            s.exif = [](const QString& tag) {
                return tag == "Model" ? QString("Cam 5") : QString();
            };
            s.dateTimeText = [](const QDateTime& when) {
                return QLocale(QLocale::English, QLocale::UnitedStates)
                    .toString(when, QStringLiteral("M/d/yyyy h:mm:ss AP"));
            };
            QVERIFY2(!expected.startsWith('!'), "accepted");
            QCOMPARE(tpl.Expand(s), expected);
        } catch (const StampTemplateError& e) {
            QVERIFY2(expected.startsWith('!') && e.why().contains(expected.mid(1)),
                     qPrintable(e.why()));
        }
    }

    void shardsTakeEachEntryOnce_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("entries");
        QTest::newRow("3 of 10") << 3 << 10;
        QTest::newRow("more parts than entries") << 8 << 5;
        QTest::newRow("one part") << 1 << 4;
    }
    void shardsTakeEachEntryOnce() {
        QFETCH(int, count);
        QFETCH(int, entries);
        QList<int> sizes;
        for (int k = 1; k <= count; ++k) {
            const Shard shard = ParseShard(QStringLiteral("%1/%2").arg(k).arg(count));
            int size = 0;
            for (int i = 1; i <= entries; ++i) {
                size += shard.Holds(i) ? 1 : 0;
            }
            sizes << size;
        }
        int total = 0;
        for (int size : sizes) {
            total += size;
            QVERIFY(size == entries / count || size == entries / count + 1);
        }
        QCOMPARE(total, entries);
        for (int i = 1; i <= entries; ++i) {
            int holders = 0;
            for (int k = 1; k <= count; ++k) {
                holders += Shard{k, count}.Holds(i) ? 1 : 0;
            }
            QCOMPARE(holders, 1);
        }
    }

    void shardRefusals_data() {
        QTest::addColumn<QString>("text");
        for (const char* text : {"0/3", "4/3", "1/0", "3", "a/b", "1/2/3", "-1/2", ""}) {
            QTest::newRow(text) << QString(text);
        }
    }
    void shardRefusals() {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(UsageError, ParseShard(text));
    }

    void jsonStrings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("plain") << QByteArray("/a b/c.jpg") << QByteArray("\"/a b/c.jpg\"");
        QTest::newRow("quote, backslash, controls")
            << QByteArray("a\"\\\n\r\t\x01\x7f")
            << QByteArray("\"a\\\"\\\\\\n\\r\\t\\u0001\\u007f\"");
        QTest::newRow("utf-8 stays") << QByteArray("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80")
                                     << QByteArray("\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\"");
        QTest::newRow("stray bytes")
            << QByteArray("a\xff\xfe.jpg") << QByteArray("\"a\\udcff\\udcfe.jpg\"");
        QTest::newRow("cut sequence") << QByteArray("\xc3") << QByteArray("\"\\udcc3\"");
        QTest::newRow("overlong slash")
            << QByteArray("\xc0\xaf") << QByteArray("\"\\udcc0\\udcaf\"");
        QTest::newRow("encoded surrogate")
            << QByteArray("\xed\xa0\x80") << QByteArray("\"\\udced\\udca0\\udc80\"");
    }
    void jsonStrings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, json);
        QCOMPARE(JsonString(bytes), json);
    }

    void jsonLineIsOneObject() {
        SourceReport r{
            "a\xff.jpg", "/o/a\xff.jpg", SourceStatus::Error, QString("Damaged"), 0, "x\r\ny",
            12,          false};
        const QByteArray line = JsonLine(r);
        QVERIFY(line.endsWith("}\n"));
        QCOMPARE(line.count('\n'), 1);
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(o.value("status").toString(), QString("error"));
        QCOMPARE(o.value("error").toString(), QString("Damaged"));
        QCOMPARE(o.value("text").toString(), QString("x\r\ny"));
        QCOMPARE(o.value("ms").toInt(), 12);
        r.error.reset();
        QVERIFY(QJsonDocument::fromJson(JsonLine(r)).object().value("error").isNull());
    }

    void absolutePaths() {
        QCOMPARE(AbsolutePath("/a//b/./c/"), QByteArray("/a/b/c"));
        QCOMPARE(AbsolutePath("/a/../b"), QByteArray("/a/../b"));
        QVERIFY(AbsolutePath("x\xff").endsWith("/x\xff"));
        QVERIFY(AbsolutePath("x").startsWith('/'));
        QVERIFY(HoldsKeptBytes(PathText("a\xff")));
        QCOMPARE(PathBytes(PathText("a\xff")), QByteArray("a\xff"));
        QVERIFY(!HoldsKeptBytes(PathText("a\xc3\xa9\n")));
    }

    void progressLineFitsTheTerminal() {
        const QString line = ProgressMeter::Line(10, 40, 5000, "a\nb.jpg", 60);
        QVERIFY(line.startsWith("[######..................] 10/40 25% 0:15 left a?b.jpg"));
        QCOMPARE(ProgressMeter::Line(1, 40, 1000, QString(200, 'x'), 50).size(), 49);
    }
};

QTEST_MAIN(StampPartsTest)
#include "stamp_parts_test.moc"

// SPDX-License-Identifier: MIT
#include "settings/scramble.h"
#include "support/form_fixture.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QImageReader>
#include <QtTest>

Q_DECLARE_METATYPE(Dialogs::Button)

namespace {

const QString kQuestion =
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?";

// Writes the files into the "Samples" folder beside the program, then loads the window;
// returns the folder.
QString LoadWithSamples(FormFixture& f, const QStringList& names) {
    const QString samples = f.t.programFolder() + "/Samples/";
    QDir().mkpath(samples);
    for (const QString& name : names) {
        WriteTestImage(samples + name, 8, 8, "PNG");
    }
    f.form.Form_Load();
    return samples;
}

}  // namespace

class SampleFilesTest : public QObject {
    Q_OBJECT

private slots:
    void scrambleRoundTrips_data() {
        QTest::addColumn<QString>("plain");
        QTest::newRow("empty") << QString();
        QTest::newRow("list") << "/opt/velloran/Samples/a.jpg|/opt/velloran/Samples/b.png";
        QTest::newRow("latin") << "/home/zoë/Bilder/Übersicht café.jpg";
        QTest::newRow("cyrillic, greek") << "/home/юля/Фото/αβγ.png";
        QTest::newRow("cjk, emoji") << "/srv/写真/夏の海 🌊.tif";
    }
    void scrambleRoundTrips() {
        QFETCH(QString, plain);
        const QString scrambled = ScrambleText(plain, "lanterns");
        QCOMPARE(scrambled.size(), plain.toUtf8().size());
        QCOMPARE(UnscrambleText(scrambled, "lanterns"), plain);
    }

    // Every scrambled character survives the settings file; a byte 0 comes back as 255.
    void everyByteSurvivesTheStore() {
        QByteArray bytes;
        for (int b = 0; b < 256; ++b) {
            bytes.append(static_cast<char>(b));
        }
        QTemporaryDir dir;
        SettingsStore(dir.path() + "/s.ini").SaveSetting("K", ScrambleBytes(bytes, "lanterns"));
        const QString stored = SettingsStore(dir.path() + "/s.ini").GetSetting("K");

        QByteArray expected = bytes;
        expected[0] = char(255);
        QCOMPARE(UnscrambleBytes(stored, "lanterns"), expected);
    }

    void arithmetic_data() {
        QTest::addColumn<int>("plain");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("scrambled");
        QTest::newRow("wraps by 255, not 256") << 200 << 90 << 35;
        QTest::newRow("no wrap") << 97 << 108 << 205;
        QTest::newRow("just over") << 1 << 255 << 1;
    }
    void arithmetic() {
        QFETCH(int, plain);
        QFETCH(int, key);
        QFETCH(int, scrambled);
        const QByteArray k(1, static_cast<char>(key));
        const QByteArray p(1, static_cast<char>(plain));
        QCOMPARE(ScrambleBytes(p, k), QString(QChar(scrambled)));
        QCOMPARE(UnscrambleBytes(QString(QChar(scrambled)), k), p);
    }

    void startRecordsTheSamplesOnlyWhenNoRecordExists_data() {
        QTest::addColumn<Settings>("stored");
        QTest::addColumn<QString>("expected");  // "@" = the sample folder
        QTest::newRow("absent") << Settings() << "@.hidden.gif|@a.jpg|@b.png";
        QTest::newRow("empty") << Settings{{"SampleList", ""}} << "@.hidden.gif|@a.jpg|@b.png";
        QTest::newRow("present") << Settings{{"SampleList", ScrambleText("/old/x.jpg", "lanterns")}}
                                 << "/old/x.jpg";
    }
    void startRecordsTheSamplesOnlyWhenNoRecordExists() {
        QFETCH(Settings, stored);
        QFETCH(QString, expected);
        FormFixture f(stored, Load::Later);
        const QString samples = LoadWithSamples(f, {"b.png", "a.jpg", ".hidden.gif"});
        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(UnscrambleText(f.stored().value("SampleList"), "lanterns"),
                 expected.replace("@", samples));
    }

    void loadAppendsExistingUnlistedSamples_data() {
        QTest::addColumn<QStringList>("listed");  // "@" = the sample folder
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty list") << QStringList() << QStringList{"@a.jpg", "@b.png"};
        QTest::newRow("one added by hand")
            << QStringList{"@b.png"} << QStringList{"@b.png", "@a.jpg"};
        QTest::newRow("letter case differs")
            << QStringList{"@A.jpg"} << QStringList{"@A.jpg", "@a.jpg", "@b.png"};
        QTest::newRow("nothing to add")
            << QStringList{"@a.jpg", "@b.png"} << QStringList{"@a.jpg", "@b.png"};
    }
    void loadAppendsExistingUnlistedSamples() {
        QFETCH(QStringList, listed);
        QFETCH(QStringList, expected);
        FormFixture f({}, Load::Later);
        const QString samples = LoadWithSamples(f, {"a.jpg", "b.png", "gone.gif"});
        // Recorded, deleted since: skipped without a word.
        QVERIFY(QFile::remove(samples + "gone.gif"));
        for (const QString& entry : listed.replaceInStrings("@", samples)) {
            f.form.ListView1->Add(entry);
        }
        f.form.PushButton8_Click();
        f.form.PushButton8_Click();
        QCOMPARE(f.form.ListView1->Texts(), expected.replaceInStrings("@", samples));
        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(f.dialogs.messages(), QStringList({kQuestion, kQuestion}));
        QCOMPARE(f.dialogs.calls.last().title, QString("Velloran"));
        QCOMPARE(f.dialogs.calls.last().buttons, Dialogs::Buttons::YesNo);
    }

    void yesOpensTheSampleFolder_data() {
        QTest::addColumn<Dialogs::Button>("answer");
        QTest::addColumn<bool>("opened");
        QTest::newRow("Yes") << Dialogs::Button::Yes << true;
        QTest::newRow("No") << Dialogs::Button::No << false;
    }
    void yesOpensTheSampleFolder() {
        QFETCH(Dialogs::Button, answer);
        QFETCH(bool, opened);
        FormFixture f({}, Load::Later);
        const QString samples = LoadWithSamples(f, {});
        f.dialogs.buttonAnswers << answer;
        f.form.PushButton8_Click();
        QCOMPARE(f.dialogs.openedUrls,
                 opened ? QList<QUrl>{QUrl::fromLocalFile(samples)} : QList<QUrl>());
    }

    void damagedRecordEndsTheClick() {
        FormFixture f({{"SampleList", QString(QChar(0x4E00))}});
        f.form.PushButton8_Click();
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(f.dialogs.errors().first().contains(
            "in Pellinor2021/08/31.Form1.PushButton8_Click at line 100"));
        QVERIFY(!f.dialogs.messages().contains(kQuestion));
    }

    // The shipped samples cover every format a batch writes.
    void shippedSamplesLoad_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");  // as shown, after the EXIF orientation
        QTest::addColumn<int>("dpi");     // 0: not checked
        const auto row = [](const char* tag, const QString& file, const char* format, QSize size,
                            int dpi = 0) {
            QTest::newRow(tag) << file << QByteArray(format) << size << dpi;
        };
        row("jpeg", "sunset-over-hills.jpg", "jpeg", {800, 533});
        row("jpeg, EXIF orientation", "lighthouse-exif-rotated.jpg", "jpeg", {450, 600});
        row("jpeg, 300 DPI", "harbour-300dpi.jpg", "jpeg", {900, 600}, 300);
        row("png", "tiles-pattern.png", "png", {640, 480});
        row("gif", "sunny-days-chart.gif", "gif", {600, 400});
        row("bmp", "meadow.bmp", "bmp", {320, 240});
        row("tiff", "mountain-lake.tif", "tiff", {640, 427});
    }
    void shippedSamplesLoad() {
        QFETCH(QString, file);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QFETCH(int, dpi);
        QImageReader reader(VELLORAN_DATA_DIR "/samples/Samples/" + file);
        reader.setAutoTransform(true);
        QCOMPARE(reader.format(), format);
        const QImage image = reader.read();
        QCOMPARE(image.size(), size);
        if (dpi != 0) {
            QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), dpi);
        }
    }
};

QTEST_MAIN(SampleFilesTest)
#include "sample_files_test.moc"

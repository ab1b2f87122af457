#include "filelist/file_list_view.h"
#include "filelist/scramble.h"
#include "support/fake_dialogs.h"
#include "support/test_environment.h"
#include "ui/form1.h"
#include "ui/settings_store.h"

#include <QDir>
#include <QImageReader>
#include <QSettings>
#include <QtTest>

Q_DECLARE_METATYPE(Dialogs::Button)

namespace {

const QString kQuestion =
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?";

QString RecordedSamples(const QString& settingsFile) {
    QSettings raw(settingsFile, QSettings::IniFormat);
    return UnscrambleText(raw.value("Velloran/SampleList").toString(), "lanterns");
}

// Files in the "Samples" folder beside the program; their paths.
QStringList MakeSamples(const TestEnvironment& t, const QStringList& names) {
    QDir(t.programFolder()).mkpath("Samples");
    QStringList paths;
    for (const QString& name : names) {
        paths << WriteTestImage(t.programFolder() + "/Samples/" + name, 8, 8, "PNG");
    }
    return paths;
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
        QTest::addColumn<QVariant>("stored");   // invalid: key absent
        QTest::addColumn<QString>("expected");  // "@" = the sample folder
        QTest::newRow("absent") << QVariant() << "@.hidden.gif|@a.jpg|@b.png";
        QTest::newRow("empty") << QVariant(QString()) << "@.hidden.gif|@a.jpg|@b.png";
        QTest::newRow("present") << QVariant(ScrambleText("/old/x.jpg", "lanterns"))
                                 << "/old/x.jpg";
    }
    void startRecordsTheSamplesOnlyWhenNoRecordExists() {
        QFETCH(QVariant, stored);
        QFETCH(QString, expected);
        TestEnvironment t;
        MakeSamples(t, {"b.png", "a.jpg", ".hidden.gif"});
        if (stored.isValid()) {
            QSettings(t.env.settingsFile, QSettings::IniFormat)
                .setValue("Velloran/SampleList", stored.toString());
        }
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);

        form.Form_Load();

        QCOMPARE(dialogs.errors(), QStringList());
        QCOMPARE(RecordedSamples(t.env.settingsFile),
                 expected.replace("@", t.programFolder() + "/Samples/"));
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
        TestEnvironment t;
        MakeSamples(t, {"a.jpg", "b.png", "gone.gif"});
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        // Recorded, deleted since: skipped without a word.
        QVERIFY(QFile::remove(t.programFolder() + "/Samples/gone.gif"));
        const QString samples = t.programFolder() + "/Samples/";
        for (const QString& entry : listed.replaceInStrings("@", samples)) {
            form.ListView1->Add(entry);
        }

        form.PushButton8_Click();
        form.PushButton8_Click();

        QCOMPARE(form.ListView1->Texts(), expected.replaceInStrings("@", samples));
        QCOMPARE(dialogs.errors(), QStringList());
        QCOMPARE(dialogs.messages(), QStringList({kQuestion, kQuestion}));
        QCOMPARE(dialogs.calls.last().title, QString("Velloran"));
        QCOMPARE(dialogs.calls.last().buttons, Dialogs::Buttons::YesNo);
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
        TestEnvironment t;
        MakeSamples(t, {});
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        dialogs.buttonAnswers << answer;

        form.PushButton8_Click();

        QCOMPARE(dialogs.openedUrls.size(), opened ? 1 : 0);
        if (opened) {
            QCOMPARE(dialogs.openedUrls.first(),
                     QUrl::fromLocalFile(t.programFolder() + "/Samples/"));
        }
    }

    void damagedRecordEndsTheClick() {
        TestEnvironment t;
        QSettings(t.env.settingsFile, QSettings::IniFormat)
            .setValue("Velloran/SampleList", QString(QChar(0x4E00)));
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();

        form.PushButton8_Click();

        QCOMPARE(dialogs.errors().size(), 1);
        QVERIFY(dialogs.errors().first().contains(
            "in Pellinor2021/08/31.Form1.PushButton8_Click at line 100"));
        QVERIFY(!dialogs.messages().contains(kQuestion));
    }

    // The shipped samples cover every format a batch writes.
    void shippedSamplesLoad_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");  // as shown, after the EXIF orientation
        QTest::addColumn<int>("dpi");     // 0: not checked
        QTest::newRow("jpeg") << "sunset-over-hills.jpg" << QByteArray("jpeg") << QSize(800, 533)
                              << 0;
        QTest::newRow("jpeg, EXIF orientation")
            << "lighthouse-exif-rotated.jpg" << QByteArray("jpeg") << QSize(450, 600) << 0;
        QTest::newRow("jpeg, 300 DPI")
            << "harbour-300dpi.jpg" << QByteArray("jpeg") << QSize(900, 600) << 300;
        QTest::newRow("png") << "tiles-pattern.png" << QByteArray("png") << QSize(640, 480) << 0;
        QTest::newRow("gif") << "sunny-days-chart.gif" << QByteArray("gif") << QSize(600, 400) << 0;
        QTest::newRow("bmp") << "meadow.bmp" << QByteArray("bmp") << QSize(320, 240) << 0;
        QTest::newRow("tiff") << "mountain-lake.tif" << QByteArray("tiff") << QSize(640, 427) << 0;
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

// "Start Stamping" over damaged, hostile and special files, as a user would drop them on
// the list between good pictures: each bad file is reported once and nothing is written
// under its name, and the good files around it come out. CTest runs this file with a
// per-function time-out, so a file that hangs the run fails instead of blocking.

#include "batch/gif_bytes.h"
#include "run_fixture.h"
#include "support/test_images.h"

#include <QtTest>

#include <sys/stat.h>

class HostileBatchTest : public QObject {
    Q_OBJECT

private slots:
    void badFileIsReportedOnce_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");  // null: a FIFO
        const QImage picture = NoisyImage(160, 120);
        const QByteArray gif = GifBytes(picture.convertToFormat(QImage::Format_Indexed8));
        const QByteArray bmp = Encoded(picture, "bmp");
        QTest::newRow("tiff named .tiff, which is not converted")
            << "a.tiff" << Encoded(picture, "tiff");
        QTest::newRow("svg named .gif")
            << "ref.gif"
            << QByteArray(
                   "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\">"
                   "<rect width=\"8\" height=\"8\"/></svg>");
        QTest::newRow("gif cut at 60%") << "cut.gif" << gif.left(gif.size() * 6 / 10);
        QTest::newRow("bmp cut at 60%") << "cut.bmp" << bmp.left(bmp.size() * 6 / 10);
        QTest::newRow("png cut at 60%, through the converter")
            << "cut.png" << Encoded(picture, "png").left(2000);
        QTest::newRow("fifo named .png, through the converter") << "x.png" << QByteArray();
        QTest::newRow("fifo named .tif, through the converter") << "x.tif" << QByteArray();
        QTest::newRow("fifo named .jpg") << "x.jpg" << QByteArray();
    }
    void badFileIsReportedOnce() {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        RunFixture f;
        f.add("first.jpg", "JPG");
        const QString bad = f.sources + "/" + name;
        if (contents.isNull()) {
            QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0600), 0);
        } else {
            WriteFile(bad, contents);
        }
        f.form.ListView1->Add(bad);
        f.add("last.bmp", "BMP");

        f.form.PushButton2->click();

        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(name), qPrintable(errors.first()));
        QCOMPARE(QDir(f.output).entryList(QDir::Files), QStringList({"first.jpg", "last.bmp"}));
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
    }
};

QTEST_MAIN(HostileBatchTest)
#include "hostile_batch_test.moc"

#include "filelist/file_list_view.h"
#include "support/fake_dialogs.h"
#include "support/test_environment.h"
#include "ui/form1.h"
#include "ui/stamp_text_box.h"

#include <QComboBox>
#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

const QColor kBackground(50, 60, 70);

struct Fixture {
    TestEnvironment t;
    FakeDialogs dialogs;
    Form1 form{dialogs, t.env};
    QString sources = t.root() + "/sources";
    QString output = t.root() + "/out";

    Fixture() {
        QDir().mkpath(sources);
        QDir().mkpath(output);
        form.Form_Load();
        form.Text1->setText(output);
        form.Text4->SetText("STAMP");
        dialogs.clear();
    }
    QString source(const QString& name, const char* format, QSize size = {160, 120}) {
        return WriteTestImage(sources + "/" + name, size.width(), size.height(), format,
                              kBackground);
    }
    void add(const QString& path) { form.ListView1->Add(path); }
    void run() { form.PushButton2->click(); }
};

// The format a file holds, read from its content.
QByteArray FormatOf(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.format();
}

// True when the upper-left corner carries light ink on the dark background.
bool HasStamp(const QString& path) {
    QImage image(path);
    if (image.isNull()) {
        return false;
    }
    for (int y = 0; y < qMin(40, image.height()); ++y) {
        for (int x = 0; x < qMin(80, image.width()); ++x) {
            if (qGray(image.pixel(x, y)) > 200) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

class BatchRunTest : public QObject {
    Q_OBJECT

private slots:
    void everyFormatIsWrittenInItsOwnFormat_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("writeAs");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("jpg") << "a.jpg" << QByteArray("JPG") << QByteArray("jpeg");
        QTest::newRow("upper-case JPG") << "PHOTO.JPG" << QByteArray("JPG") << QByteArray("jpeg");
        QTest::newRow("jpeg") << "b.jpeg" << QByteArray("JPG") << QByteArray("jpeg");
        QTest::newRow("png through the converter twice")
            << "a.b.png" << QByteArray("PNG") << QByteArray("png");
        QTest::newRow("tif") << "c.tif" << QByteArray("TIFF") << QByteArray("tiff");
        QTest::newRow("gif") << "d.gif" << QByteArray("GIF") << QByteArray("gif");
        QTest::newRow("bmp") << "e.bmp" << QByteArray("BMP") << QByteArray("bmp");
        QTest::newRow("ico") << "f.ico" << QByteArray("ICO") << QByteArray("ico");
        QTest::newRow("tiff named by extension")
            << "g.tiff" << QByteArray("TIFF") << QByteArray("tiff");
    }
    void everyFormatIsWrittenInItsOwnFormat() {
        QFETCH(QString, name);
        QFETCH(QByteArray, writeAs);
        QFETCH(QByteArray, expected);
        Fixture f;
        if (writeAs == "GIF") {
            // Qt writes no GIF: make one with the converter's help from a BMP.
            f.source(name, "BMP");
            QVERIFY(QProcess::execute(VELLORAN_CONVERT_PATH,
                                      {"-out", "gif", f.sources + "/" + name}) == 0);
        } else {
            f.source(name, writeAs.constData());
        }
        f.add(f.sources + "/" + name);
        f.run();
        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(f.dialogs.messages(), QStringList{"Done."});
        const QString out = f.output + "/" + name;
        QCOMPARE(FormatOf(out), expected);
        QVERIFY(HasStamp(out));
        // The converter never stays behind in the temporary folder.
        QVERIFY(!QFile::exists(f.t.tempFolder() + "/velloran-convert"));
    }

    void progressStepsAndEnd() {
        Fixture f;
        for (const char* name : {"1.jpg", "2.bmp", "3.jpg", "4.bmp"}) {
            f.add(f.source(name, name[2] == 'j' ? "JPG" : "BMP"));
        }
        QList<int> values;
        QStringList texts;
        QObject::connect(f.form.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
            values << v;
            texts << f.form.ProgressBar1->text();
        });
        f.run();
        QCOMPARE(values, QList<int>({25, 50, 75, 100, 0}));
        // The value moves on just before the text names the next file.
        QCOMPARE(texts.at(1), QString("Processing: 1.jpg"));
        QCOMPARE(texts.at(4), QString("Processing: 4.bmp"));
        QCOMPARE(f.form.ProgressBar1->text(), QString("Progress Bar"));
        QCOMPARE(f.form.MousePointer(), Form1::kPointerDefault);
        QVERIFY(!f.form.busy);
    }

    void earlyEnds() {
        Fixture f;
        f.run();
        QCOMPARE(f.dialogs.messages(), QStringList{"No files added."});
        QCOMPARE(f.dialogs.calls.first().title, QString("Velloran"));
        QCOMPARE(f.dialogs.calls.first().icon, Dialogs::Icon::None);

        f.dialogs.clear();
        f.add(f.source("a.jpg", "JPG"));
        f.form.Text1->setText(f.t.root() + "/missing");
        f.run();
        f.form.Text1->setText("");
        f.run();
        QCOMPARE(f.dialogs.messages(),
                 QStringList({"Folder does not exist. Please select another folder.",
                              "Folder does not exist. Please select another folder."}));
        QVERIFY(QDir(f.output).isEmpty());

        // The busy flag was cleared: the next click runs.
        f.dialogs.clear();
        f.form.Text1->setText(f.output);
        f.run();
        QCOMPARE(f.dialogs.messages(), QStringList{"Done."});
    }

    void namesAndFolders() {
        Fixture f;
        f.add(f.source("noext", "JPG"));
        f.form.Text1->setText(f.output + "/");
        f.add(f.source("ok.jpg", "JPG"));
        f.run();
        // A name without a dot is read, but no format can be chosen for its copy.
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(f.dialogs.errors().first().contains("at line 206"));
        QVERIFY(!QFile::exists(f.output + "/noext"));
        QCOMPARE(FormatOf(f.output + "/ok.jpg"), QByteArray("jpeg"));
    }

    void damagedFileIsReportedOnceAndTheRestWritten() {
        Fixture f;
        f.add(f.source("first.jpg", "JPG"));
        QFile bad(f.sources + "/broken.jpg");
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("this is no picture");
        bad.close();
        f.add(bad.fileName());
        f.add(f.sources + "/missing.png");
        f.add(f.source("last.bmp", "BMP"));
        f.run();
        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors.at(0).contains("broken.jpg"));
        QVERIFY(errors.at(0).contains("at line 160"));
        QVERIFY(errors.at(1).contains("missing.png"));
        QVERIFY(errors.at(1).contains("at line 154"));
        QVERIFY(QFile::exists(f.output + "/first.jpg"));
        QVERIFY(QFile::exists(f.output + "/last.bmp"));
        QVERIFY(!QFile::exists(f.output + "/broken.jpg"));
        QVERIFY(!QFile::exists(f.output + "/missing.png"));
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
    }

    void unwritableFolderIsReportedPerFile() {
        Fixture f;
        f.add(f.source("a.jpg", "JPG"));
        f.add(f.source("b.bmp", "BMP"));
        // Nobody, root included, may create files in /proc.
        f.form.Text1->setText("/proc");
        f.run();
        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors.at(0).startsWith("Cannot save the image. GDI+ Error:7\r\n"));
        QVERIFY(errors.at(0).contains("at line 172"));
        QVERIFY(errors.at(1).contains("at line 176"));
    }

    void replacingSourcesIsAskedFirst() {
        Fixture f;
        const QString source = f.source("own.jpg", "JPG");
        const QByteArray original = [&] {
            QFile file(source);
            file.open(QIODevice::ReadOnly);
            return file.readAll();
        }();
        f.add(source);
        f.form.Text1->setText(f.sources);
        f.dialogs.buttonAnswers.enqueue(Dialogs::Button::No);
        f.run();
        QCOMPARE(f.dialogs.calls.size(), 1);
        QCOMPARE(f.dialogs.calls.first().buttons, Dialogs::Buttons::YesNo);
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), original);
        file.close();
        QVERIFY(!f.form.busy);

        f.dialogs.clear();
        f.dialogs.buttonAnswers.enqueue(Dialogs::Button::Yes);
        f.run();
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
        QVERIFY(HasStamp(source));
    }

    void secondClickDuringARunIsIgnored() {
        Fixture f;
        f.add(f.source("a.png", "PNG"));
        f.add(f.source("b.jpg", "JPG"));
        int reentries = 0;
        QObject::connect(f.form.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
            if (v == 50) {
                ++reentries;
                f.form.PushButton2->click();
            }
        });
        f.run();
        QCOMPARE(reentries, 1);
        QCOMPARE(f.dialogs.messages(), QStringList{"Done."});
    }

    void stampTextIsPutBackAfterTheRun() {
        Fixture f;
        f.add(f.source("one.jpg", "JPG"));
        f.add(f.source("two.tif", "TIFF"));
        f.form.Combo1->setCurrentIndex(4);
        emit f.form.Combo1->activated(4);
        QCOMPARE(f.form.Text4->Text(), QString("one.jpg"));
        f.form.Text4->SetText("edited");
        f.run();
        QCOMPARE(f.form.Text4->Text(), QString("edited"));
        // The TIFF's temporary JPEG stays until the next conversion.
        QVERIFY(QFile::exists(f.t.tempFolder() + "/StampTmp.jpg"));
    }

    void entriesAddedDuringTheRunAreNotVisited() {
        Fixture f;
        f.add(f.source("a.jpg", "JPG"));
        const QString extra = f.source("extra.jpg", "JPG");
        QObject::connect(f.form.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
            if (v == 100) {
                f.form.ListView1->Add(extra);
            }
        });
        f.run();
        QVERIFY(QFile::exists(f.output + "/a.jpg"));
        QVERIFY(!QFile::exists(f.output + "/extra.jpg"));
    }
};

QTEST_MAIN(BatchRunTest)
#include "batch_run_test.moc"

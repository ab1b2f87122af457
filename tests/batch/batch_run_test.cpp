// SPDX-License-Identifier: MIT
#include "run_fixture.h"

#include <QImageReader>
#include <QtTest>

namespace {

// The format a file holds, read from its content.
QByteArray FormatOf(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.format();
}

// True when the upper-left corner carries light ink on the dark background.
bool HasStamp(const QString& path) {
    const QImage image(path);
    for (int y = 0; y < qMin(40, image.height()); ++y) {
        for (int x = 0; x < qMin(80, image.width()); ++x) {
            if (qGray(image.pixel(x, y)) > 200) {
                return true;
            }
        }
    }
    return false;
}

void OnProgress(RunFixture& f, const std::function<void(int)>& action) {
    QObject::connect(f.form.ProgressBar1, &QProgressBar::valueChanged, action);
}

}  // namespace

class BatchRunTest : public QObject {
    Q_OBJECT

private slots:
    void everyFormatIsWrittenInItsOwnFormat_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("writeAs");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char* tag, const QString& name, const char* writeAs,
                            const char* expected) {
            QTest::newRow(tag) << name << QByteArray(writeAs) << QByteArray(expected);
        };
        row("jpg", "a.jpg", "JPG", "jpeg");
        row("upper-case JPG", "PHOTO.JPG", "JPG", "jpeg");
        row("jpeg", "b.jpeg", "JPG", "jpeg");
        row("png through the converter twice", "a.b.png", "PNG", "png");
        row("tif", "c.tif", "TIFF", "tiff");
        row("gif", "d.gif", "GIF", "gif");
        row("bmp", "e.bmp", "BMP", "bmp");
        row("ico", "f.ico", "ICO", "ico");
    }
    void everyFormatIsWrittenInItsOwnFormat() {
        QFETCH(QString, name);
        QFETCH(QByteArray, writeAs);
        QFETCH(QByteArray, expected);
        RunFixture f;
        // Qt writes no GIF: make one with the converter's help from a BMP.
        const QString source = f.source(name, writeAs == "GIF" ? "BMP" : writeAs.constData());
        if (writeAs == "GIF") {
            QCOMPARE(QProcess::execute(VELLORAN_CONVERT_PATH, {"-out", "gif", source}), 0);
        }
        f.form.ListView1->Add(source);
        f.form.PushButton2->click();
        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(f.dialogs.messages(), QStringList{"Done."});
        QCOMPARE(FormatOf(f.output + "/" + name), expected);
        QVERIFY(HasStamp(f.output + "/" + name));
        // The converter never stays behind in the temporary folder.
        QVERIFY(!QFile::exists(f.t.tempFolder() + "/velloran-convert"));
    }

    void progressStepsAndEnd() {
        RunFixture f;
        for (const char* name : {"1.jpg", "2.bmp", "3.jpg", "4.bmp"}) {
            f.add(name, name[2] == 'j' ? "JPG" : "BMP");
        }
        QList<int> values;
        QStringList texts;
        OnProgress(f, [&](int v) {
            values << v;
            texts << f.form.ProgressBar1->text();
        });
        f.form.PushButton2->click();
        QCOMPARE(values, QList<int>({25, 50, 75, 100, 0}));
        // The value moves on just before the text names the next file.
        QCOMPARE(texts.at(1), QString("Processing: 1.jpg"));
        QCOMPARE(texts.at(4), QString("Processing: 4.bmp"));
        QCOMPARE(f.form.ProgressBar1->text(), QString("Progress Bar"));
        QCOMPARE(f.form.MousePointer(), Form1::kPointerDefault);
        QVERIFY(!f.form.busy);
    }

    void earlyEnds() {
        RunFixture f;
        f.form.PushButton2->click();
        QCOMPARE(f.dialogs.messages(), QStringList{"No files added."});
        QCOMPARE(f.dialogs.calls.first().title, QString("Velloran"));
        QCOMPARE(f.dialogs.calls.first().icon, Dialogs::Icon::None);

        f.dialogs.clear();
        f.add("a.jpg", "JPG");
        for (const QString& folder : {f.t.root() + "/missing", QString()}) {
            f.form.Text1->setText(folder);
            f.form.PushButton2->click();
        }
        const QString missing("Folder does not exist. Please select another folder.");
        QCOMPARE(f.dialogs.messages(), QStringList({missing, missing}));
        QVERIFY(QDir(f.output).isEmpty());

        // The busy flag was cleared: the next click runs.
        f.dialogs.clear();
        f.form.Text1->setText(f.output);
        f.form.PushButton2->click();
        QCOMPARE(f.dialogs.messages(), QStringList{"Done."});
    }

    void namesAndFolders() {
        RunFixture f;
        f.add("noext", "JPG");
        f.form.Text1->setText(f.output + "/");
        f.add("ok.jpg", "JPG");
        f.form.PushButton2->click();
        // A name without a dot is read, but no format can be chosen for its copy.
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(f.dialogs.errors().first().contains("at line 206"));
        QVERIFY(!QFile::exists(f.output + "/noext"));
        QCOMPARE(FormatOf(f.output + "/ok.jpg"), QByteArray("jpeg"));
    }

    void damagedFileIsReportedOnceAndTheRestWritten() {
        RunFixture f;
        f.add("first.jpg", "JPG");
        f.form.ListView1->Add(WriteFile(f.sources + "/broken.jpg", "this is no picture"));
        f.form.ListView1->Add(f.sources + "/missing.png");
        f.add("last.bmp", "BMP");
        f.form.PushButton2->click();
        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors.at(0).contains("broken.jpg"));
        QVERIFY(errors.at(0).contains("at line 160"));
        QVERIFY(errors.at(1).contains("missing.png"));
        QVERIFY(errors.at(1).contains("at line 154"));
        QCOMPARE(QDir(f.output).entryList(QDir::Files), QStringList({"first.jpg", "last.bmp"}));
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
    }

    void unwritableFolderIsReportedPerFile() {
        RunFixture f;
        f.add("a.jpg", "JPG");
        f.add("b.bmp", "BMP");
        // Nobody, root included, may create files in /proc.
        f.form.Text1->setText("/proc");
        f.form.PushButton2->click();
        const QStringList errors = f.dialogs.errors();
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors.at(0).startsWith("Cannot save the image. GDI+ Error:7\r\n"));
        QVERIFY(errors.at(0).contains("at line 172"));
        QVERIFY(errors.at(1).contains("at line 176"));
    }

    void replacingSourcesIsAskedFirst() {
        RunFixture f;
        const QString source = f.source("own.jpg", "JPG");
        const QByteArray original = ReadFile(source);
        f.form.ListView1->Add(source);
        f.form.Text1->setText(f.sources);
        f.dialogs.buttonAnswers.enqueue(Dialogs::Button::No);
        f.form.PushButton2->click();
        QCOMPARE(f.dialogs.calls.size(), 1);
        QCOMPARE(f.dialogs.calls.first().buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(ReadFile(source), original);
        QVERIFY(!f.form.busy);

        f.dialogs.clear();
        f.dialogs.buttonAnswers.enqueue(Dialogs::Button::Yes);
        f.form.PushButton2->click();
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
        QVERIFY(HasStamp(source));
    }

    void secondClickDuringARunIsIgnored() {
        RunFixture f;
        f.add("a.png", "PNG");
        f.add("b.jpg", "JPG");
        int reentries = 0;
        OnProgress(f, [&](int v) {
            if (v == 50) {
                ++reentries;
                f.form.PushButton2->click();
            }
        });
        f.form.PushButton2->click();
        QCOMPARE(reentries, 1);
        QCOMPARE(f.dialogs.messages(), QStringList{"Done."});
    }

    void stampTextIsPutBackAfterTheRun() {
        RunFixture f;
        f.add("one.jpg", "JPG");
        f.add("two.tif", "TIFF");
        Choose(f.form.Combo1, 4);
        QCOMPARE(f.form.Text4->Text(), QString("one.jpg"));
        f.form.Text4->SetText("edited");
        f.form.PushButton2->click();
        QCOMPARE(f.form.Text4->Text(), QString("edited"));
        // The TIFF's temporary JPEG stays until the next conversion.
        QVERIFY(QFile::exists(f.t.tempFolder() + "/StampTmp.jpg"));
    }

    void entriesAddedDuringTheRunAreNotVisited() {
        RunFixture f;
        f.add("a.jpg", "JPG");
        const QString extra = f.source("extra.jpg", "JPG");
        OnProgress(f, [&](int v) {
            if (v == 100) {
                f.form.ListView1->Add(extra);
            }
        });
        f.form.PushButton2->click();
        QVERIFY(QFile::exists(f.output + "/a.jpg"));
        QVERIFY(!QFile::exists(f.output + "/extra.jpg"));
    }
};

QTEST_MAIN(BatchRunTest)
#include "batch_run_test.moc"

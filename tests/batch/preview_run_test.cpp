// SPDX-License-Identifier: MIT
#include "run_fixture.h"
#include "ui/form2.h"

#include <QTimer>
#include <QtTest>

class PreviewRunTest : public QObject {
    Q_OBJECT

private slots:
    void previewShowsTheFirstFileStamped_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("jpeg") << "first.jpg" << QByteArray("JPG");
        QTest::newRow("png through the converter") << "first.png" << QByteArray("PNG");
    }
    void previewShowsTheFirstFileStamped() {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        RunFixture f;
        f.form.show();
        f.add(name, format.constData(), {1000, 1000});
        f.add("second.jpg", "JPG");
        Choose(f.form.Combo1, 4);
        f.form.PushButton5->click();

        QCOMPARE(f.dialogs.errors(), QStringList());
        QVERIFY(!f.form.isVisible());
        QVERIFY(f.form.preview);
        Form2& preview = *f.form.preview;
        QVERIFY(preview.isVisible());
        // The stamp text stays in the box; the canvas holds the stamped first file.
        QCOMPARE(f.form.Text4->Text(), name);
        QCOMPARE(f.form.Picture1.Image().size(), QSize(1000, 1000));
        QCOMPARE(f.form.MousePointer(), Form1::kPointerDefault);
        QVERIFY(QDir(f.output).isEmpty());
        if (format == "PNG") {
            QVERIFY(QFile::exists(f.t.tempFolder() + "/preview/StampTmp.jpg"));
            QVERIFY(!QFile::exists(f.t.tempFolder() + "/preview/velloran-convert"));
        }

        preview.PushButton1->click();
        QVERIFY(f.form.isVisible());
        QVERIFY(!preview.isVisible());
    }

    void emptyListOnlySaysSo() {
        RunFixture f;
        f.form.show();
        f.form.PushButton5->click();
        QCOMPARE(f.dialogs.messages(), QStringList{"No files added."});
        QVERIFY(f.form.isVisible());
        QVERIFY(!f.form.preview);
    }

    void unreadableFirstFileIsReportedAndThePreviewStillOpens() {
        RunFixture f;
        f.form.ListView1->Add(WriteFile(f.sources + "/bad.jpg", "garbage"));
        f.form.PushButton5->click();
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(f.dialogs.errors().first().contains(
            "in Pellinor2021/08/31.Form1.PushButton5_Click at line 146"));
        QVERIFY(f.form.preview && f.form.preview->isVisible());
    }

    void secondPreviewShowsTheNewText() {
        RunFixture f;
        f.add("a.jpg", "JPG");
        f.form.Text4->SetText("FIRST");
        f.form.PushButton5->click();
        const QImage first = f.form.Picture1.Image();
        f.form.preview->PushButton1->click();
        f.form.Text4->SetText("SECOND TEXT");
        f.form.PushButton5->click();
        QVERIFY(f.form.Picture1.Image() != first);
        QVERIFY(f.form.preview->isVisible());
    }

    void previewDuringABatchConversionLeavesItsFilesAlone() {
        RunFixture f;
        f.add("a.png", "PNG");
        f.add("b.tif", "TIFF");
        bool previewed = false;
        QObject::connect(f.form.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
            if (v == 50 && !previewed) {
                previewed = true;
                // Fires inside the converter wait of the first file.
                QTimer::singleShot(30, &f.form, [&] { f.form.PushButton5->click(); });
            }
        });
        f.form.PushButton2->click();
        QVERIFY(previewed);
        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
        QVERIFY(QFile::exists(f.output + "/a.png"));
        QVERIFY(QFile::exists(f.output + "/b.tif"));
    }
};

QTEST_MAIN(PreviewRunTest)
#include "preview_run_test.moc"

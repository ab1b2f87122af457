#include "filelist/file_list_view.h"
#include "support/fake_dialogs.h"
#include "support/test_environment.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/stamp_text_box.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

namespace {

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
        form.show();
        dialogs.clear();
    }
    QString source(const QString& name, const char* format, QSize size = {400, 300}) {
        return WriteTestImage(sources + "/" + name, size.width(), size.height(), format);
    }
};

}  // namespace

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
        Fixture f;
        f.form.ListView1->Add(f.source(name, format.constData(), {1000, 1000}));
        f.form.ListView1->Add(f.source("second.jpg", "JPG"));
        f.form.Combo1->setCurrentIndex(4);
        emit f.form.Combo1->activated(4);
        f.form.PushButton5->click();

        QCOMPARE(f.dialogs.errors(), QStringList());
        QVERIFY(!f.form.isVisible());
        QVERIFY(f.form.preview);
        Form2& preview = *f.form.preview;
        QVERIFY(preview.isVisible());
        QCOMPARE(preview.PicOrg->size(), QSize(487, 380));
        QVERIFY(!preview.HscrPic->isVisible());
        QVERIFY(!preview.VscrPic->isVisible());
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
        Fixture f;
        f.form.PushButton5->click();
        QCOMPARE(f.dialogs.messages(), QStringList{"No files added."});
        QVERIFY(f.form.isVisible());
        QVERIFY(!f.form.preview);
    }

    void unreadableFirstFileIsReportedAndThePreviewStillOpens() {
        Fixture f;
        QFile bad(f.sources + "/bad.jpg");
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("garbage");
        bad.close();
        f.form.ListView1->Add(bad.fileName());
        f.form.PushButton5->click();
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(f.dialogs.errors().first().contains(
            "in Pellinor2021/08/31.Form1.PushButton5_Click at line 146"));
        QVERIFY(f.form.preview && f.form.preview->isVisible());
    }

    void secondPreviewShowsTheNewText() {
        Fixture f;
        f.form.ListView1->Add(f.source("a.jpg", "JPG"));
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
        Fixture f;
        f.form.ListView1->Add(f.source("a.png", "PNG"));
        f.form.ListView1->Add(f.source("b.tif", "TIFF"));
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

// SPDX-License-Identifier: MIT
#include "ui/form2.h"
#include "support/fake_dialogs.h"
#include "support/test_environment.h"
#include "ui/cursor_file.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

namespace {

const QString kCursors = QStringLiteral(VELLORAN_DATA_DIR "/cursors");

// Left half red, right half blue: a squeezed picture keeps red in its left and blue
// in its right columns right up to the box's edges.
QImage SplitImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
    return image;
}

QColor ShownAt(const Form2& form, int x, int y) {
    return form.PicOrg->pixmap().toImage().pixelColor(x, y);
}

// A preview window over a stand-in main window, already shown once.
struct Fixture {
    TestEnvironment t;
    FakeDialogs dialogs;
    QWidget main;
    Form2 form{&main, t.programFolder(), dialogs};
};

}  // namespace

class Form2Test : public QObject {
    Q_OBJECT

private slots:
    void everyPictureFillsTheBox_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("square, distorted") << QSize(1000, 1000);
        QTest::newRow("camera photo") << QSize(4000, 3000);
        QTest::newRow("smaller than the box") << QSize(100, 80);
    }
    void everyPictureFillsTheBox() {
        QFETCH(QSize, size);
        Fixture f;

        f.form.ShowPicture(SplitImage(size.width(), size.height()));

        QCOMPARE(f.dialogs.errors(), QStringList());
        QVERIFY(f.form.isVisible());
        QCOMPARE(f.form.windowTitle(), QString("Velloran"));
        QCOMPARE(f.form.PicOrg->geometry(), QRect(0, 0, 487, 380));
        QCOMPARE(f.form.PicOrg->pixmap().size(), QSize(487, 380));
        for (const int y : {0, 379}) {
            QCOMPARE(ShownAt(f.form, 0, y), QColor(Qt::red));
            QCOMPARE(ShownAt(f.form, 486, y), QColor(Qt::blue));
        }
        QVERIFY(!f.form.HscrPic->isVisibleTo(&f.form));
        QVERIFY(!f.form.VscrPic->isVisibleTo(&f.form));
    }

    void backAndCloseBringTheMainWindowBack_data() {
        QTest::addColumn<bool>("close");
        QTest::newRow("Back") << false;
        QTest::newRow("close request") << true;
    }
    void backAndCloseBringTheMainWindowBack() {
        QFETCH(bool, close);
        Fixture f;
        f.form.ShowPicture(SplitImage(10, 10));

        if (close) {
            QVERIFY(f.form.close());
        } else {
            f.form.PushButton1->click();
        }

        QVERIFY(f.main.isVisible());
        QVERIFY(!f.form.isVisible());
        QCOMPARE(f.dialogs.calls.size(), 0);
    }

    void eachShowingTakesTheNewImage() {
        Fixture f;
        f.form.ShowPicture(SplitImage(200, 100));
        f.form.PushButton1->click();
        QImage green(300, 300, QImage::Format_RGB32);
        green.fill(Qt::green);

        f.form.ShowPicture(green);
        QCOMPARE(ShownAt(f.form, 0, 0), QColor(Qt::green));

        // A canvas that never got a picture shows an empty box, without an error.
        f.form.ShowPicture(QImage());
        QVERIFY(f.form.PicOrg->pixmap().isNull());
        QCOMPARE(f.dialogs.errors(), QStringList());
    }

    void handCursorOverBackWhenTheFileExists() {
        Fixture f;
        f.form.ShowPicture(SplitImage(10, 10));
        QCOMPARE(f.form.PushButton1->cursor().shape(), Qt::ArrowCursor);

        QVERIFY(QFile::copy(kCursors + "/HAND-M.CUR", f.t.programFolder() + "/HAND-M.CUR"));
        f.form.ShowPicture(SplitImage(10, 10));

        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(f.form.PushButton1->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(f.form.cursor().shape(), Qt::ArrowCursor);
    }

    void shippedCursorFilesLoad_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QPoint>("hotSpot");
        QTest::newRow("hand: the index fingertip") << "HAND-M.CUR" << QPoint(10, 1);
        QTest::newRow("drag: an icon clicks at its centre") << "drag.ico" << QPoint(16, 16);
    }
    void shippedCursorFilesLoad() {
        QFETCH(QString, file);
        QFETCH(QPoint, hotSpot);
        const QCursor cursor = LoadCursorFile(kCursors + "/" + file);
        QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
        QCOMPARE(cursor.hotSpot(), hotSpot);
        QVERIFY(qAlpha(cursor.pixmap().toImage().pixel(hotSpot)) > 0);
    }
};

QTEST_MAIN(Form2Test)
#include "form2_test.moc"

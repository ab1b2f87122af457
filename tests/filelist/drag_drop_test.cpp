// SPDX-License-Identifier: MIT
#include "folder_tree.h"
#include "support/form_fixture.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

namespace {

struct Fixture : FormFixture {
    QWidget* viewport = form.ListView1->viewport();

    Fixture() { form.show(); }
    // Drags the data over the list; true when the list would take it.
    bool dragEnter(QMimeData* data, Qt::DropActions actions = Qt::CopyAction) {
        QDragEnterEvent enter(QPoint(10, 10), actions, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        return enter.isAccepted();
    }
    Qt::DropAction drop(QMimeData* data, Qt::DropActions actions = Qt::CopyAction) {
        QDropEvent event(QPointF(10, 10), actions, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
    }
    QStringList dropPaths(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls << QUrl::fromLocalFile(path);
        }
        data.setUrls(urls);
        dragEnter(&data);
        drop(&data);
        return form.ListView1->Texts();
    }
};

}  // namespace

class DragDropTest : public QObject {
    Q_OBJECT

private slots:
    void dataWithoutFilesIsRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::newRow("text only") << "/tmp/a.jpg" << QList<QUrl>{};
        QTest::newRow("web address") << "" << QList<QUrl>{QUrl("https://example.org/a.jpg")};
    }
    void dataWithoutFilesIsRefused() {
        QFETCH(QString, text);
        QFETCH(QList<QUrl>, urls);
        Fixture f;
        QMimeData data;
        if (!text.isEmpty()) {
            data.setText(text);
        }
        data.setUrls(urls);
        QVERIFY(!f.dragEnter(&data));
        QCOMPARE(f.drop(&data), Qt::IgnoreAction);
        QCOMPARE(f.form.ListView1->Count(), 0);
    }

    // Answering "move" could make the drag source delete the dropped files.
    void filesAreTakenAsACopy() {
        Fixture f;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile("/tmp/a.jpg")});
        QVERIFY(f.dragEnter(&data, Qt::CopyAction | Qt::MoveAction));
        QCOMPARE(f.drop(&data, Qt::CopyAction | Qt::MoveAction), Qt::CopyAction);
    }

    void mixOfFilesAndFoldersInDropOrder() {
        QTemporaryDir dir;
        QVERIFY(
            MakeTree(dir.path(), {"x.txt", "~y.jpg", "F/b.jpg", "F/A.txt", "F/~tmp.jpg", "F/.dot",
                                  "F/s/c.gif", "F/s/loop -> ..", "F/pipe|", "G/d.jpg"}));
        const QString root = dir.path();
        Fixture f;
        int pointerDuringScan = -1;
        QTimer::singleShot(0, &f.form, [&] { pointerDuringScan = f.form.MousePointer(); });

        const QStringList entries = f.dropPaths(
            {root + "/x.txt", root + "/F", root + "/~y.jpg", root + "/G/", root + "/x.txt"});
        QCOMPARE(Relative(root, entries), (QStringList{"x.txt", "F/A.txt", "F/b.jpg", "F/s/c.gif",
                                                       "~y.jpg", "G/d.jpg", "x.txt"}));
        QCOMPARE(pointerDuringScan, int(Form1::kPointerDefault));
        QCOMPARE(f.dialogs.messages(), QStringList());
    }

    // A path that no longer exists is appended as delivered, without a message.
    void vanishedPathIsAppendedAsDelivered() {
        QTemporaryDir dir;
        QVERIFY(MakeTree(dir.path(), {"a.jpg", "b.jpg", "link -> gone.jpg"}));
        Fixture f;
        const QStringList entries =
            f.dropPaths({dir.path() + "/a.jpg", dir.path() + "/gone.jpg", dir.path() + "/link",
                         dir.path() + "//gone dir/x.jpg", dir.path() + "/b.jpg"});
        QCOMPARE(Relative(dir.path(), entries),
                 (QStringList{"a.jpg", "gone.jpg", "link", "/gone dir/x.jpg", "b.jpg"}));
        QCOMPARE(f.dialogs.messages(), QStringList());
    }
};

QTEST_MAIN(DragDropTest)
#include "drag_drop_test.moc"

// SPDX-License-Identifier: MIT
#include "folder_tree.h"
#include "support/form_fixture.h"
#include "util/app_title.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Clicks "Add Image File(s)" and picks the files; returns the list's entries.
QStringList Pick(FormFixture& f, const QStringList& answer) {
    f.dialogs.openAnswers << answer;
    f.form.PushButton1_Click();
    return f.form.ListView1->Texts();
}

// Two names behind a one-folder path that make the classic answer this long.
QStringList SelectionOfLength(qsizetype length) {
    const qsizetype name = (length - 2 - 2) / 2;  // "/d" + two NULs
    return {"/d/" + QString(name, 'a'), "/d/" + QString(length - 4 - name, 'b')};
}

}  // namespace

class AddImageFilesTest : public QObject {
    Q_OBJECT

private slots:
    void pick_data() {
        QTest::addColumn<QStringList>("answer");
        QTest::newRow("cancelled") << QStringList{};
        QTest::newRow("one file as returned") << QStringList{"/pics//a.jpg"};
        QTest::newRow("several in the dialog's order") << QStringList{"/pics/b.jpg", "/pics/a.jpg"};
        QTest::newRow("several at the root") << QStringList{"/a.jpg", "/b.jpg"};
        QTest::newRow("several in different folders")
            << QStringList{"/pics/x/a.jpg", "/pics/y/b.jpg", "/other.jpg"};
        QTest::newRow("exactly the buffer") << SelectionOfLength(30000);
    }
    // The entries are the picked paths as the dialog returned them, in its order.
    void pick() {
        QFETCH(QStringList, answer);
        FormFixture f;
        QCOMPARE(Pick(f, answer), answer);
        QCOMPARE(f.dialogs.messages(), QStringList());
        QCOMPARE(f.dialogs.calls.first().title,
                 QString("Add File(s) - Hold Ctrl or Shift to select multiple files"));
    }

    void tooManyFilesAddNothing() {
        FormFixture f;
        f.form.ListView1->Add("/kept.jpg");
        QCOMPARE(Pick(f, SelectionOfLength(30001)), QStringList{"/kept.jpg"});
        QCOMPARE(f.dialogs.count("message"), 1);
        const FakeDialogs::Call& box = f.dialogs.calls.last();
        QCOMPARE(box.text, QString("You've selected too many files to add.\r\rPlease try adding "
                                   "via the \"Add All\" button."));
        QCOMPARE(box.title, ApplicationTitle());
        QCOMPARE(box.icon, Dialogs::Icon::None);
        QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
    }

    // The filter must work in Qt's own dialog: every one of the 23 patterns, any case,
    // and the five of today's formats after them.
    void filterMatchesInQtsDialog() {
        FormFixture f;
        Pick(f, {});
        const QString filter = f.dialogs.calls.first().text;
        QVERIFY(filter.startsWith("All Pictures (*.emf "));

        QTemporaryDir dir;
        const QStringList patterns = filter.mid(14).chopped(1).split(' ');
        QCOMPARE(patterns.size(), 28);
        QCOMPARE(patterns.mid(22),
                 QStringList({"*.wpg", "*.heic", "*.heif", "*.avif", "*.webp", "*.jxl"}));
        QStringList tree{"notes.txt", "photo.jpg.bak"};
        QStringList expected;
        for (const QString& pattern : patterns) {
            const QString name = "p" + pattern.mid(1).toUpper();
            tree << name;
            expected << name;
        }
        QVERIFY(MakeTree(dir.path(), tree));

        QFileDialog dialog(nullptr, QString(), dir.path(), filter);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        auto* model = dialog.findChild<QFileSystemModel*>();
        QVERIFY(model != nullptr);
        auto shown = [&] {
            QStringList names;
            const QModelIndex root = model->index(dir.path());
            for (int row = 0; row < model->rowCount(root); ++row) {
                names << model->index(row, 0, root).data().toString();
            }
            names.sort(Qt::CaseInsensitive);
            return names;
        };
        expected.sort(Qt::CaseInsensitive);
        QTRY_COMPARE(shown(), expected);
    }
};

QTEST_MAIN(AddImageFilesTest)
#include "add_image_files_test.moc"

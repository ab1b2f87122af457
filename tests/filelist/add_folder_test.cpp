// SPDX-License-Identifier: MIT
#include "engine/folder_scan.h"
#include "folder_tree.h"
#include "support/form_fixture.h"
#include "util/app_title.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <unistd.h>
#include <cstdio>

namespace {

constexpr char kChildFlag[] = "--add-folder-as-child";

// Clicks "Add All File(s) In Folder" with the given answers; returns the entries
// relative to root.
QStringList AddFolder(FormFixture& f, const QString& extension, const QString& folder,
                      const QString& root) {
    f.dialogs.inputAnswers << extension;
    f.dialogs.folderAnswers << folder;
    f.form.PushButton3_Click();
    return Relative(root, f.form.ListView1->Texts());
}

const QStringList kTree{"b.jpg",          "A.JPG",        "~tmp.jpg",    "a~b.jpg",
                        "notes.txt",      ".hidden.jpg",  "pipe.jpg|",   "sub/c.jpg",
                        "sub/deep/d.jpg", "sub/up -> ..", "Other/e.png", "Other/~f.png"};

// Run as the unprivileged user: adds every file below root and prints the entries.
int AddFolderAsChild(const QString& root) {
    FormFixture f;
    QStringList folders{root + QLatin1Char('/')};
    GetSubDirectories2016(folders, true, f.dialogs);
    for (const QString& folder : Relative(root, folders)) {
        std::printf("FOLDER %s\n", qPrintable(folder));
    }
    AddFolder(f, QStringLiteral("*"), root, root);
    for (const QString& entry : f.form.ListView1->Texts()) {
        std::printf("%s\n", qPrintable(entry));
    }
    for (const QString& error : f.dialogs.errors()) {
        std::printf("ERROR %s\n", qPrintable(error));
    }
    return 0;
}

}  // namespace

class AddFolderTest : public QObject {
    Q_OBJECT

private slots:
    void cancellingTheExtensionStoresNothing() {
        FormFixture f;
        f.form.PushButton3_Click();
        QCOMPARE(f.dialogs.count("input"), 1);
        const FakeDialogs::Call& ask = f.dialogs.calls.first();
        QCOMPARE(ask.text, QString("Enter file extension to load:\r\r(* for all files, txt for all "
                                   "txt files, doc for all doc files, etc.)"));
        QCOMPARE(ask.title, ApplicationTitle());
        QCOMPARE(ask.argument.toString(), QString("*"));
        QCOMPARE(f.dialogs.count("folder"), 0);
        QVERIFY(!f.stored().contains("Extension"));
        QVERIFY(!f.stored().contains("LastFolder"));
    }

    void cancellingTheBrowserStoresOnlyTheExtension() {
        FormFixture f({{"Extension", "png"}, {"LastFolder", "/somewhere"}});
        AddFolder(f, "jpg", QString(), QString());
        QCOMPARE(f.dialogs.calls.first().argument.toString(), QString("png"));
        QCOMPARE(f.dialogs.count("folder"), 1);
        QCOMPARE(f.dialogs.calls.last().text, QString("Please select folder:"));
        QCOMPARE(f.dialogs.calls.last().argument.toString(), QString("/somewhere"));
        QCOMPARE(f.stored().value("Extension"), QString("jpg"));
        QCOMPARE(f.stored().value("LastFolder"), QString("/somewhere"));
        QCOMPARE(f.form.ListView1->Count(), 0);
    }

    void addFolder_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("folderSuffix");
        QTest::addColumn<QStringList>("expected");
        const QStringList every{"A.JPG",       "a~b.jpg",   "b.jpg",         "notes.txt",
                                "Other/e.png", "sub/c.jpg", "sub/deep/d.jpg"};
        QTest::newRow("every file") << "*" << QString() << every;
        QTest::newRow("one extension, any case")
            << "jpg" << QString()
            << QStringList{"A.JPG", "a~b.jpg", "b.jpg", "sub/c.jpg", "sub/deep/d.jpg"};
        QTest::newRow("only in a subfolder") << "png" << QString() << QStringList{"Other/e.png"};
        QTest::newRow("no match") << "gif" << QString() << QStringList{};
        QTest::newRow("folder with trailing separator") << "*" << QString("/") << every;
    }
    void addFolder() {
        QFETCH(QString, extension);
        QFETCH(QString, folderSuffix);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(MakeTree(dir.path(), kTree));
        FormFixture f;
        int pointerDuringScan = -1;
        QTimer::singleShot(0, &f.form, [&] { pointerDuringScan = f.form.MousePointer(); });

        QCOMPARE(AddFolder(f, extension, dir.path() + folderSuffix, dir.path()), expected);
        QCOMPARE(pointerDuringScan, int(Form1::kPointerBusy));
        QCOMPARE(f.form.MousePointer(), int(Form1::kPointerDefault));
        QCOMPARE(f.stored().value("Extension"), extension);
        QCOMPARE(f.stored().value("LastFolder"), dir.path() + folderSuffix);
        QCOMPARE(f.dialogs.errors(), QStringList());
    }

    // Root may read and write everything, so the unreadable folder and the read-only
    // dot-file only bite for an ordinary user.
    void unreadableFolderAndReadOnlyDotFile() {
        QTemporaryDir dir;
        QVERIFY(MakeTree(dir.path(), {"a.jpg", ".writable.jpg", ".readonly.jpg", "locked/x.jpg",
                                      "locked/sub/y.jpg", "open/z.jpg"}));
        const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
        const auto ro = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        const auto open =
            ro | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(dir.path(), open));
        QVERIFY(QFile::setPermissions(dir.path() + "/.writable.jpg", rw));
        QVERIFY(QFile::setPermissions(dir.path() + "/.readonly.jpg", ro));
        QVERIFY(QFile::setPermissions(dir.path() + "/locked", {}));

        QStringList command{QCoreApplication::applicationFilePath(), kChildFlag, dir.path()};
        if (::geteuid() == 0) {
            const QString setpriv = QStandardPaths::findExecutable("setpriv");
            if (setpriv.isEmpty()) {
                QSKIP("setpriv is needed to run the case as an ordinary user");
            }
            command =
                QStringList{setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--"} +
                command;
        }
        QProcess child;
        child.start(command.takeFirst(), command);
        QVERIFY(child.waitForFinished(60000));
        QFile::setPermissions(dir.path() + "/locked", open | QFileDevice::WriteOwner);
        QCOMPARE(child.exitCode(), 0);
        const QStringList lines =
            QString::fromUtf8(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(Relative(dir.path(), lines),
                 (QStringList{"FOLDER ", "FOLDER open/", ".readonly.jpg", "a.jpg", "open/z.jpg"}));
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kChildFlag) == 0) {
        return AddFolderAsChild(QFile::decodeName(argv[2]));
    }
    AddFolderTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "add_folder_test.moc"

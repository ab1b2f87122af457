// SPDX-License-Identifier: MIT
#include "engine/folder_scan.h"
#include "filelist/folder_tree.h"
#include "support/fake_dialogs.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>

namespace {

QStringList Scan(const QString& root, FakeDialogs& dialogs) {
    QStringList folders{root + QLatin1Char('/')};
    GetSubDirectories2016(folders, true, dialogs);
    return Relative(root, folders);
}

bool TouchRaw(const QByteArray& path) {
    const int fd = ::creat(path.constData(), 0644);
    return fd >= 0 && ::close(fd) == 0;
}

QStringList Numbered(int count) {
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names << QStringLiteral("f%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
    }
    return names;
}

}  // namespace

class FolderScanTest : public QObject {
    Q_OBJECT

private slots:
    void collection_data() {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("breadth first in listing order")
            << QStringList{"b/b1/b1a/", "A/a1/", "_u/", "c.txt", "b/f.jpg"}
            << QStringList{"", "A/", "b/", "_u/", "A/a1/", "b/b1/", "b/b1/b1a/"};
        QTest::newRow("odd names skipped with their subtree")
            << QStringList{"ok/", "bad\x01name/deep/", "q?x/deep/", "del\x7f/", "c1\u0085/"}
            << QStringList{"", "ok/"};
        QTest::newRow("links back into the tree are not followed")
            << QStringList{"a/up -> ..", "a/self -> .", "b/sib -> ../a", "a/x.jpg"}
            << QStringList{"", "a/", "b/"};
        QTest::newRow("link to a folder outside the collection is followed")
            << QStringList{"a/real/", "a/real/deep/", "b/alias -> ../a/real/deep"}
            << QStringList{"", "a/", "b/", "a/real/", "b/alias/"};
        QTest::newRow("dangling link and FIFO are no folders")
            << QStringList{"gone -> nowhere", "pipe|", "d/"} << QStringList{"", "d/"};
    }
    void collection() {
        QFETCH(QStringList, tree);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(MakeTree(dir.path(), tree));
        FakeDialogs dialogs;
        QCOMPARE(Scan(dir.path(), dialogs), expected);
        QCOMPARE(dialogs.errors(), QStringList());
    }

    void longPathsAreNotDescended() {
        QTemporaryDir dir;
        const qsizetype rootLength = dir.path().size();
        QVERIFY(rootLength < 250);
        // Entries of 259 and 260 characters, each with its trailing "/".
        const QString descended(257 - rootLength, QLatin1Char('a'));
        const QString tooLong(258 - rootLength, QLatin1Char('b'));
        QVERIFY(MakeTree(dir.path(), {descended + "/x/y/", tooLong + "/z/"}));
        FakeDialogs dialogs;
        const QStringList folders = Scan(dir.path(), dialogs);
        QCOMPARE(folders, (QStringList{"", descended + "/", tooLong + "/", descended + "/x/"}));
        QCOMPARE((dir.path() + "/" + tooLong + "/").size(), 260);
    }

    void undecodableNamesAreLeftOut() {
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path());
        QVERIFY(::mkdir((root + "/bad\xff").constData(), 0755) == 0);
        QVERIFY(TouchRaw(root + "/bad\xff/in.jpg"));
        QVERIFY(TouchRaw(root + "/pic\xfe.jpg"));
        QVERIFY(MakeTree(dir.path(), {"ok.jpg"}));
        FakeDialogs dialogs;
        QCOMPARE(Scan(dir.path(), dialogs), QStringList{""});
        QCOMPARE(ListFolderFiles(dir.path(), "*.*"), QStringList{"ok.jpg"});
    }

    void listFolderFiles_data() {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("expected");
        const QStringList mixed{
            "Zeta.jpg",      "alpha", "Beta.TXT",        ".hidden",    "sub/",
            "sub/inner.jpg", "pipe|", "gone -> nowhere", "_under.png", "link.jpg -> alpha"};
        const auto row = [](const char* tag, const QStringList& tree, const QString& folder,
                            const QString& pattern, const QStringList& expected) {
            QTest::newRow(tag) << tree << folder << pattern << expected;
        };
        row("every file, none of the rest", mixed, "", "*.*",
            {".hidden", "alpha", "Beta.TXT", "link.jpg", "Zeta.jpg", "_under.png"});
        row("folder with trailing separator", mixed, "sub/", "*.*", {"inner.jpg"});
        row("extension without regard to case",
            {"a.JPG", "b.jpg", "c.jpeg", "d.jpg.txt", "e.xjpg", ".jpg"}, "", "*.jpg",
            {".jpg", "a.JPG", "b.jpg"});
        row("question mark is one character", {"a.jpg", "b.jpe", "c.jpeg", "d.jp"}, "", "*.jp?",
            {"a.jpg", "b.jpe"});
        row("brackets are plain characters", {"[a].jpg", "a.jpg"}, "", "[a].jpg", {"[a].jpg"});
        row("empty folder", {"e/"}, "e", "*.*", {});
        row("missing folder", {}, "nothere", "*.*", {});
        row("exactly 100 files", Numbered(100), "", "*.*", Numbered(100));
        row("101 files", Numbered(101), "", "*.jpg", Numbered(101));
    }
    void listFolderFiles() {
        QFETCH(QStringList, tree);
        QFETCH(QString, folder);
        QFETCH(QString, pattern);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(MakeTree(dir.path(), tree));
        QCOMPARE(ListFolderFiles(dir.path() + "/" + folder, pattern), expected);
    }

    void isOpenableFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("openable");
        QTest::newRow("file") << "file.jpg" << true;
        QTest::newRow("unreadable file") << "locked.jpg" << true;
        QTest::newRow("link to a file") << "link.jpg" << true;
        QTest::newRow("folder") << "sub" << false;
        QTest::newRow("FIFO") << "pipe" << false;
        QTest::newRow("dangling link") << "gone" << false;
        QTest::newRow("missing") << "missing.jpg" << false;
        QTest::newRow("file with trailing separator") << "file.jpg/" << false;
        QTest::newRow("device") << "/dev/null" << false;
    }
    void isOpenableFile() {
        QFETCH(QString, path);
        QFETCH(bool, openable);
        QTemporaryDir dir;
        QVERIFY(MakeTree(dir.path(), {"file.jpg", "locked.jpg", "link.jpg -> file.jpg", "sub/",
                                      "pipe|", "gone -> nowhere"}));
        QVERIFY(QFile::setPermissions(dir.path() + "/locked.jpg", {}));
        QCOMPARE(IsOpenableFile(path.startsWith('/') ? path : dir.path() + "/" + path), openable);
    }

    void hasOddChars_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("odd");
        QTest::newRow("accents") << QString::fromUtf8("Été à Zürich") << false;
        QTest::newRow("no-break space (160)") << QString(QChar(160)) << false;
        QTest::newRow("unit separator (31)") << QString(QChar(31)) << true;
        QTest::newRow("delete (127)") << QString(QChar(127)) << true;
        QTest::newRow("C1 control (159)") << QString(QChar(159)) << true;
        QTest::newRow("question mark") << "why?" << true;
        QTest::newRow("undecoded bytes") << QString(QChar::ReplacementCharacter) << true;
    }
    void hasOddChars() {
        QFETCH(QString, name);
        QFETCH(bool, odd);
        QCOMPARE(HasOddChars(name), odd);
    }
};

QTEST_GUILESS_MAIN(FolderScanTest)
#include "folder_scan_test.moc"

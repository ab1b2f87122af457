// SPDX-License-Identifier: MIT
#include "util/file_ops.h"
#include "support/raised.h"
#include "support/test_environment.h"
#include "util/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <sys/stat.h>

class FileOpsTest : public QObject {
    Q_OBJECT

private slots:
    void attributes() {
        TestEnvironment t;
        for (const char* name : {"/plain.jpg", "/.dot", "/.readonly"}) {
            WriteFile(t.root() + name);
        }
        QFile::setPermissions(t.root() + "/.readonly", QFileDevice::ReadOwner);
        QDir(t.root()).mkdir("sub");
        QFile::link(t.root() + "/plain.jpg", t.root() + "/link.jpg");

        QCOMPARE(FileAttributes(t.root() + "/plain.jpg"), attr::kArchive);
        QCOMPARE(FileAttributes(t.root() + "/.dot"), 34);
        QCOMPARE(FileAttributes(t.root() + "/sub"), attr::kDirectory);
        QCOMPARE(FileAttributes(t.root() + "/link.jpg"), attr::kArchive | attr::kReparsePoint);
        if (::geteuid() != 0) {  // root may write anything
            QCOMPARE(FileAttributes(t.root() + "/.readonly"), 35);
        }
        QCOMPARE(Raised([&] { FileAttributes(t.root() + "/missing"); }).number(),
                 vberr::kFileNotFound);
    }

    void quietDelete() {
        TestEnvironment t;
        const QString file = t.root() + "/ro.bin";
        WriteFile(file, "data");
        QFile::setPermissions(file, QFileDevice::ReadOwner);
        DeleteFileForced(file);
        QVERIFY(!QFile::exists(file));
        DeleteFileForced(t.root() + "/never-there");  // no exception, no message
    }

    void writeBytesKeepsTail() {
        TestEnvironment t;
        const QString file = t.root() + "/bytes.bin";
        WriteFile(file, "0123456789");
        WriteBytesToFile("abc", file);
        QCOMPARE(ReadFile(file), QByteArray("abc3456789"));
        WriteBytesToFile("new", t.root() + "/fresh.bin");
        QCOMPARE(ReadFile(t.root() + "/fresh.bin"), QByteArray("new"));
        QVERIFY_THROWS_EXCEPTION(VbError, WriteBytesToFile("x", t.root() + "/no/such/dir/f"));
    }

    void privateTempFolder() {
        TestEnvironment t;
        const QString folder = t.root() + "/private";
        QCOMPARE(EnsurePrivateFolder(folder), folder);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);

        // An open folder is refused and left as it was: it may be one others rely on.
        QDir(t.root()).mkdir("open");
        ::chmod(QFile::encodeName(t.root() + "/open").constData(), 0777);
        QVERIFY_THROWS_EXCEPTION(VbError, EnsurePrivateFolder(t.root() + "/open"));
        ::stat(QFile::encodeName(t.root() + "/open").constData(), &st);
        QCOMPARE(st.st_mode & 0777, 0777u);

        // A link could point anywhere another user likes: refused.
        QFile::link(folder, t.root() + "/link");
        QVERIFY_THROWS_EXCEPTION(VbError, EnsurePrivateFolder(t.root() + "/link"));
        // So is a file in its place.
        WriteFile(t.root() + "/file", "x");
        QVERIFY_THROWS_EXCEPTION(VbError, EnsurePrivateFolder(t.root() + "/file"));
    }

    void tempFromEnvironmentVariable() {
        TestEnvironment t;
        QDir(t.root()).mkdir("fromenv");
        qputenv("TEMP", QFile::encodeName(t.root() + "/fromenv"));
        const QString own = t.root() + "/fromenv/velloran-" + QString::number(::getuid());
        QCOMPARE(PrivateTempFolder(), own);
        QVERIFY(QFileInfo(own).isDir());
        qunsetenv("TEMP");
        QVERIFY(PrivateTempFolder().endsWith("/velloran-" + QString::number(::getuid())));
    }
};

QTEST_MAIN(FileOpsTest)
#include "file_ops_test.moc"

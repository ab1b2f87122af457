#include "util/file_ops.h"
#include "support/test_environment.h"
#include "util/temp_folder.h"
#include "util/vb_error.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <sys/stat.h>

namespace {
void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

class FileOpsTest : public QObject {
    Q_OBJECT

private slots:
    void attributes() {
        TestEnvironment t;
        Write(t.root() + "/plain.jpg", "x");
        Write(t.root() + "/.dot", "x");
        Write(t.root() + "/.readonly", "x");
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
        try {
            FileAttributes(t.root() + "/missing");
            QFAIL("missing path must fail");
        } catch (const VbError& e) {
            QCOMPARE(e.number(), vberr::kFileNotFound);
        }
    }

    void quietDelete() {
        TestEnvironment t;
        const QString file = t.root() + "/ro.bin";
        Write(file, "data");
        QFile::setPermissions(file, QFileDevice::ReadOwner);
        DeleteFileForced(file);
        QVERIFY(!QFile::exists(file));
        DeleteFileForced(t.root() + "/never-there");  // no exception, no message
    }

    void writeBytesKeepsTail() {
        TestEnvironment t;
        const QString file = t.root() + "/bytes.bin";
        Write(file, "0123456789");
        WriteBytesToFile("abc", file);
        QCOMPARE(Read(file), QByteArray("abc3456789"));
        WriteBytesToFile("new", t.root() + "/fresh.bin");
        QCOMPARE(Read(t.root() + "/fresh.bin"), QByteArray("new"));
        QVERIFY_THROWS_EXCEPTION(VbError, WriteBytesToFile("x", t.root() + "/no/such/dir/f"));
    }

    void privateTempFolder() {
        TestEnvironment t;
        const QString folder = t.root() + "/private";
        QCOMPARE(EnsurePrivateFolder(folder), folder);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);

        // An open folder is closed to others.
        QDir(t.root()).mkdir("open");
        ::chmod(QFile::encodeName(t.root() + "/open").constData(), 0777);
        EnsurePrivateFolder(t.root() + "/open");
        ::stat(QFile::encodeName(t.root() + "/open").constData(), &st);
        QCOMPARE(st.st_mode & 0777, 0700u);

        // A link could point anywhere another user likes: refused.
        QFile::link(folder, t.root() + "/link");
        QVERIFY_THROWS_EXCEPTION(VbError, EnsurePrivateFolder(t.root() + "/link"));
        // So is a file in its place.
        Write(t.root() + "/file", "x");
        QVERIFY_THROWS_EXCEPTION(VbError, EnsurePrivateFolder(t.root() + "/file"));
    }

    void tempFromEnvironmentVariable() {
        TestEnvironment t;
        qputenv("TEMP", QFile::encodeName(t.root() + "/fromenv"));
        QCOMPARE(PrivateTempFolder(), t.root() + "/fromenv");
        QVERIFY(QFileInfo(t.root() + "/fromenv").isDir());
        qunsetenv("TEMP");
        QVERIFY(PrivateTempFolder().endsWith("/velloran-" + QString::number(::getuid())));
    }
};

QTEST_MAIN(FileOpsTest)
#include "file_ops_test.moc"

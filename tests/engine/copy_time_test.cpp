// SPDX-License-Identifier: MIT
// A copy's time from its source or from the date taken, and the names whose time is never
// changed: links, FIFOs and files of another user.
#include "engine/copy_time.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Touch(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

timespec ModificationTime(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

bool Same(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

class CopyTimeTest : public QObject {
    Q_OBJECT

private slots:
    void keepsSourceTime() {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("IMG_0001.JPG"));
        const QString copy = dir.filePath(QStringLiteral("copy.jpg"));
        QVERIFY(Touch(source) && Touch(copy));
        // Nanoseconds too: sorting by time must not reorder photos of one second.
        const timespec old[2] = {{0, UTIME_OMIT}, {1557000000, 123456789}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), old, 0), 0);
        QCOMPARE(KeepSourceTime(source, copy), QString());
        QVERIFY(Same(ModificationTime(copy), old[1]));
    }

    void takesDateTaken_data() {
        QTest::addColumn<QDateTime>("taken");
        QTest::addColumn<qint64>("seconds");
        QTest::newRow("UTC") << QDateTime(QDate(2021, 7, 1), QTime(10, 20, 30), QTimeZone::utc())
                             << qint64(1625134830);
        QTest::newRow("with an offset")
            << QDateTime(QDate(2021, 7, 1), QTime(12, 20, 30), QTimeZone(7200))
            << qint64(1625134830);
        QTest::newRow("before 1970")
            << QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 500), QTimeZone::utc())
            << qint64(-1);
    }
    void takesDateTaken() {
        QFETCH(QDateTime, taken);
        QFETCH(qint64, seconds);
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("copy.jpg"));
        QVERIFY(Touch(copy));
        QCOMPARE(SetCopyTime(copy, taken), QString());
        const timespec t = ModificationTime(copy);
        QCOMPARE(qint64(t.tv_sec), seconds);
        QCOMPARE(qint64(t.tv_nsec), taken.time().msec() * 1000000LL);
    }

    // What stands at the copy's name is refused without being opened for long or changed.
    void refused_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to a file") << "link";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("another user's file") << "foreign";
        QTest::newRow("missing") << "missing";
    }
    void refused() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target"));
        const QString copy = dir.filePath(QStringLiteral("copy.jpg"));
        const QByteArray name = QFile::encodeName(copy);
        QVERIFY(Touch(target));
        if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(target, copy));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (kind == QLatin1String("foreign")) {
            QVERIFY(Touch(copy));
            if (::chown(name.constData(), 65534, 65534) != 0) {
                QSKIP("needs to give a file to another user (run as root)");
            }
        }
        const timespec targetBefore = ModificationTime(target);
        const timespec copyBefore = ModificationTime(copy);
        QElapsedTimer timer;
        timer.start();
        const timespec when{1000000000, 0};
        QVERIFY(!SetCopyTime(copy, when).isEmpty());
        QVERIFY(timer.elapsed() < 10000);
        QVERIFY(Same(ModificationTime(target), targetBefore));
        QVERIFY(Same(ModificationTime(copy), copyBefore));
        QVERIFY(!SetCopyTime(copy, QDateTime()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(CopyTimeTest)
#include "copy_time_test.moc"

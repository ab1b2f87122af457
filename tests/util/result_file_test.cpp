// SPDX-License-Identifier: MIT
#include "imageio/result_file.h"
#include "support/test_environment.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class ResultFileTest : public QObject {
    Q_OBJECT

private slots:
    void replacesOnlyWhenCommitted_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("commit");
        for (const char* target : {"file", "own link", "own dangling link"}) {
            QTest::addRow("%s, committed", target) << target << true;
            QTest::addRow("%s, abandoned", target) << target << false;
        }
    }
    void replacesOnlyWhenCommitted() {
        QFETCH(QString, target);
        QFETCH(bool, commit);
        QTemporaryDir dir;
        const QString real = dir.filePath("real.png");
        QString path = real;
        QStringList names{"real.png"};
        if (target != "own dangling link") {
            WriteFile(real, "earlier");
            ::chmod(QFile::encodeName(real).constData(), 0640);
        }
        if (target != "file") {
            path = dir.filePath("link.png");
            QFile::link(real, path);
            names << "link.png";
        }
        {
            ResultFile file(path);
            QCOMPARE(file.targetPath(), real);
            QCOMPARE(QFileInfo(file.temporaryPath()).absolutePath(), dir.path());
            QVERIFY(file.temporaryPath().endsWith(".png"));
            QCOMPARE(file.write("new"), 3);
            if (commit) {
                file.Commit();
            }
        }
        const QByteArray before = target == "own dangling link" ? QByteArray() : "earlier";
        QCOMPARE(ReadFile(real), commit ? QByteArray("new") : before);
        if (target != "file") {
            QVERIFY(QFileInfo(path).isSymLink());
        }
        if (!commit && target == "own dangling link") {
            names.removeOne("real.png");
        }
        names.sort();
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            names);
        if (commit && target != "own dangling link") {
            // A replaced file keeps who may read it.
            QCOMPARE(QFileInfo(real).permissions(),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                         QFileDevice::WriteUser | QFileDevice::ReadGroup);
        }
    }
};

QTEST_MAIN(ResultFileTest)
#include "result_file_test.moc"

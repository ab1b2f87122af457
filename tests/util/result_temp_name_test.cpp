// SPDX-License-Identifier: MIT
#include "imageio/result_temp_name.h"

#include <QProcess>
#include <QtTest>

#include <unistd.h>

namespace {

// A process id that no process holds any more.
qint64 EndedPid() {
    QProcess ended;
    ended.start("sh", {"-c", "echo $$"});
    ended.waitForFinished();
    return ended.readAllStandardOutput().trimmed().toLongLong();
}

}  // namespace

class ResultTempNameTest : public QObject {
    Q_OBJECT

private slots:
    // Only the exact pattern names a writer; the user's own names that look alike do not.
    void onlyTheWholePatternNamesAWriter_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("parsed");
        const QByteArray k = "0123456789abcdef";
        QTest::newRow("the pattern") << k + "-4026531836-4242-ab12cd.png" << true;
        QTest::newRow("the pattern, no extension") << k + "-4026531836-1-zzzzzz" << true;
        QTest::newRow("notes") << QByteArray("2024-notes.txt") << false;
        QTest::newRow("diary") << QByteArray("2024-my-diary.odt") << false;
        QTest::newRow("a bare number") << QByteArray("4000000") << false;
        QTest::newRow("another bare number") << QByteArray("31999") << false;
        QTest::newRow("holiday picture") << QByteArray("77777-holiday.png") << false;
        QTest::newRow("a blank first") << QByteArray(" 2024-x") << false;
        QTest::newRow("upper-case hex")
            << QByteArray("0123456789ABCDEF-4026531836-4242-ab12cd") << false;
        QTest::newRow("15 hex digits") << k.left(15) + "-4026531836-4242-ab12cd" << false;
        QTest::newRow("17 hex digits") << k + "0-4026531836-4242-ab12cd" << false;
        QTest::newRow("pid with a leading zero") << k + "-4026531836-04242-ab12cd" << false;
        QTest::newRow("pid zero") << k + "-4026531836-0-ab12cd" << false;
        QTest::newRow("pid beyond any kernel's") << k + "-4026531836-4194305-ab12cd" << false;
        QTest::newRow("namespace with a sign") << k + "-+4026531836-4242-ab12cd" << false;
        QTest::newRow("five letters") << k + "-4026531836-4242-ab12c" << false;
        QTest::newRow("upper-case letters") << k + "-4026531836-4242-AB12CD" << false;
        QTest::newRow("a part more") << k + "-4026531836-4242-ab12cd-x" << false;
        QTest::newRow("empty extension") << k + "-4026531836-4242-ab12cd." << false;
        QTest::newRow("two extensions") << k + "-4026531836-4242-ab12cd.tar.gz" << false;
        QTest::newRow("extension with a blank") << k + "-4026531836-4242-ab12cd.my png" << false;
        QTest::newRow("extension of 17")
            << k + "-4026531836-4242-ab12cd.abcdefghijklmnopq" << false;
    }
    void onlyTheWholePatternNamesAWriter() {
        QFETCH(QByteArray, name);
        QFETCH(bool, parsed);
        QCOMPARE(ParseResultTempName(".velloran-" + name).has_value(), parsed);
        QVERIFY(!ParseResultTempName("velloran-" + name).has_value());
    }

    void namesReadBackTheirWriter() {
        const ResultWriter writer = ThisWriter().writer;
        QCOMPARE(writer.kernel.size(), 16);
        QCOMPARE(writer.pid, qint64(::getpid()));
        for (const QByteArray& extension : {QByteArray("png"), QByteArray("")}) {
            const QByteArray name = ResultTempName(writer, "ab12cd", extension);
            QCOMPARE(ParseResultTempName(name), std::optional<ResultWriter>(writer));
        }
        // An extension the pattern cannot hold is left out, never copied in.
        QVERIFY(!ResultTempName(writer, "ab12cd", "my png").contains("png"));
        QVERIFY(ResultTempName(writer, "ab12cd", QByteArray(200, 'x')).size() < 80);
    }

    // Removed only when written here, in this namespace, by a process that has ended.
    void abandonedOnlyByAnEndedWriterOfThisKernelAndNamespace_data() {
        QTest::addColumn<QByteArray>("kernel");
        QTest::addColumn<qint64>("namespaceShift");
        QTest::addColumn<qint64>("pid");
        QTest::addColumn<bool>("abandoned");
        const ResultWriter self = ThisWriter().writer;
        QByteArray other = self.kernel;
        other[0] = other[0] == 'a' ? 'b' : 'a';
        const qint64 ended = EndedPid();
        QTest::newRow("ended writer here") << self.kernel << qint64(0) << ended << true;
        QTest::newRow("another machine") << other << qint64(0) << ended << false;
        QTest::newRow("another pid namespace") << self.kernel << qint64(1) << ended << false;
        QTest::newRow("this process") << self.kernel << qint64(0) << qint64(::getpid()) << false;
        QTest::newRow("a running process")
            << self.kernel << qint64(0) << qint64(::getppid()) << false;
    }
    void abandonedOnlyByAnEndedWriterOfThisKernelAndNamespace() {
        QFETCH(QByteArray, kernel);
        QFETCH(qint64, namespaceShift);
        QFETCH(qint64, pid);
        QFETCH(bool, abandoned);
        if (!ThisWriter().known) {
            QSKIP("no boot id or pid namespace to be read here");
        }
        const ResultWriter writer{kernel,
                                  ThisWriter().writer.pidNamespace + quint64(namespaceShift), pid};
        QCOMPARE(IsAbandonedResultTempName(ResultTempName(writer, "ab12cd", "png")), abandoned);
    }
};

QTEST_MAIN(ResultTempNameTest)
#include "result_temp_name_test.moc"

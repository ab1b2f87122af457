// SPDX-License-Identifier: MIT
#include "engine/run_and_wait.h"
#include "ui/window_progress.h"
#include "ui/progress_bar_text.h"
#include "support/raised.h"
#include "support/test_environment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <limits>

namespace {

constexpr qint32 kMissingProgram = qint32(0x80040000u) + 53;

// Records every text and value the bar shows while a wait runs.
class BarSampler {
public:
    explicit BarSampler(QProgressBar* bar) : bar_(bar) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Sample(); });
        timer_.start();
    }
    void Sample() {
        if (texts.isEmpty() || texts.last() != bar_->text()) {
            texts.append(bar_->text());
        }
        if (values.isEmpty() || values.last() != bar_->value()) {
            values.append(bar_->value());
        }
    }
    QStringList texts;
    QList<int> values;

private:
    QProgressBar* bar_;
    QTimer timer_;
};

// True while the process runs: neither gone nor a zombie no one has reaped yet.
bool Runs(pid_t pid) {
    const QByteArray stat = ReadFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 && stat.at(close + 2) != 'Z';
}

QProgressBar* NewBar(int value, const QString& text) {
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setValue(value);
    bar->setFormat(text);
    return bar;
}

}  // namespace

class RunAndWaitTest : public QObject {
    Q_OBJECT

private slots:
    void exitCodes_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<int>("windowStyle");
        QTest::addColumn<qint32>("result");
        QTest::addColumn<QString>("childError");
        QTest::newRow("instant success") << "/bin/true" << 0 << 0 << "";
        QTest::newRow("exit code") << "/bin/sh -c \"exit 3\"" << 6 << 3 << "";
        QTest::newRow("quoted program with a blank")
            << "\"%1/my tool\" -out png \"x\"" << -1 << 7 << "";
        QTest::newRow("last line of standard error")
            << "/bin/sh -c \"echo first >&2; echo 'convert: no such file' >&2; echo >&2; "
               "exit 2\""
            << 99 << 2 << "convert: no such file";
        QTest::newRow("crash is no success")
            << "/bin/sh -c \"kill -SEGV $$\"" << 0 << 128 + SIGSEGV << "signal";
        QTest::newRow("missing program")
            << "\"%1/no-such-converter\" -out png \"x\"" << 0 << kMissingProgram << "";
        QTest::newRow("empty command line") << "" << 0 << kMissingProgram << "empty";
    }
    void exitCodes() {
        QFETCH(QString, commandLine);
        QFETCH(int, windowStyle);
        QFETCH(qint32, result);
        QFETCH(QString, childError);
        QTemporaryDir dir;
        QFile::setPermissions(WriteFile(dir.filePath("my tool"), "#!/bin/sh\nexit 7\n"),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);

        QScopedPointer<QProgressBar> bar(NewBar(40, QStringLiteral("untouched")));
        // A zero timer fires at the first yield to the event loop.
        bool yielded = false;
        QTimer probe;
        probe.setSingleShot(true);
        QObject::connect(&probe, &QTimer::timeout, [&] { yielded = true; });
        probe.start(0);
        QString error;
        const qint32 code = RunAndWait(
            commandLine.contains(QLatin1String("%1")) ? commandLine.arg(dir.path()) : commandLine,
            windowStyle, bar.get(), QStringLiteral("Processing: 50%.png"), 40, 2, &error);
        QCOMPARE(code, result);
        QVERIFY2(error.contains(childError), qPrintable(error));
        QCOMPARE(bar->value(), 40);
        if (result == kMissingProgram) {
            // Nothing waited: no poll, no yield, the bar as it was.
            QVERIFY(!yielded);
            QCOMPARE(bar->text(), QStringLiteral("untouched"));
        } else {
            // At least one poll, which yields to the event loop.
            QVERIFY(yielded);
            QCOMPARE(bar->text(), QStringLiteral("Processing: 50%.png"));
        }
    }

    void barTextAfterTheWait_data() {
        QTest::addColumn<QString>("barText");
        QTest::addColumn<QString>("after");
        QTest::newRow("bar text") << QString("Processing: a.png") << "Processing: a.png";
        QTest::newRow("empty bar text") << QString() << "Progress Bar";
        QTest::newRow("placeholders in a file name")
            << QString("Processing: %p %v %m 100%.png") << "Processing: %p %v %m 100%.png";
    }
    void barTextAfterTheWait() {
        QFETCH(QString, barText);
        QFETCH(QString, after);
        QScopedPointer<QProgressBar> bar(NewBar(0, QStringLiteral("before")));
        QCOMPARE(RunAndWait(QStringLiteral("/bin/true"), 0, bar.get(), barText, 0, 1), 0);
        QCOMPARE(ProgressBarText(bar.get()), after);
        QCOMPARE(bar->text().remove(QChar(0x2060)), after);
    }

    void noBarNoOutput() {
        // The file count is only used for the bar, so 0 does no harm without one.
        QCOMPARE(RunAndWait(QStringLiteral("/bin/sh -c \"exit 4\""), 0, nullptr, QString(), 0, 0),
                 4);
    }

    // About eight seconds: the counter starts at the 50th poll, which a busy machine may
    // reach well after five seconds.
    void longWaitShowsCounterAndNudges() {
        QScopedPointer<QProgressBar> bar(NewBar(10, QStringLiteral("before")));
        BarSampler sampler(bar.get());
        const qint32 code = RunAndWait(QStringLiteral("sleep 8"), 0, bar.get(),
                                       QStringLiteral("Processing: a.png"), 50, 2);
        QCOMPARE(code, 0);
        sampler.Sample();
        const QString counter = QStringLiteral("Processing: a.png, Please wait.. ");
        QVERIFY2(sampler.texts.contains(counter + QLatin1Char('0')),
                 qPrintable(sampler.texts.join(QLatin1Char('|'))));
        // One more per poll, none skipped.
        int expected = 0;
        for (const QString& text : sampler.texts) {
            if (text.startsWith(counter)) {
                QCOMPARE(text, counter + QString::number(expected));
                ++expected;
            }
        }
        QVERIFY(expected >= 2);
        QCOMPARE(sampler.texts.last(), QStringLiteral("Processing: a.png"));
        // The first nudge (k - 50 = 0) writes the bar value the wait began with.
        QCOMPARE(sampler.values, (QList<int>{10, 50}));
    }

    // About five seconds: with an empty bar text and no files the counter reads
    // "Please wait.. 0", then the share of a file divides by zero; the child is ended.
    void zeroFileCountRaisesAndEndsChild() {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("pid"));
        QScopedPointer<QProgressBar> bar(NewBar(0, QStringLiteral("before")));
        BarSampler sampler(bar.get());
        const VbError e = Raised([&] {
            RunAndWait(QStringLiteral("/bin/sh -c \"echo $$ > '%1'; exec sleep 60\"").arg(pidFile),
                       0, bar.get(), QString(), 0, 0);
        });
        QCOMPARE(e.number(), 11);
        QCOMPARE(e.description(), QStringLiteral("Division by zero"));
        sampler.Sample();
        QCOMPARE(sampler.texts.last(), QStringLiteral("Please wait.. 0"));
        const pid_t pid = ReadFile(pidFile).trimmed().toInt();
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid, 0), -1);
        QCOMPARE(errno, ESRCH);
    }

    // The wait ends in the poll in which the child ends (counted in polls, not timed).
    void waitEndsWithTheChild_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<int>("childMilliseconds");
        QTest::addColumn<int>("mostPolls");
        QTest::newRow("ends at once: one poll") << "/bin/true" << 0 << 1;
        QTest::newRow("ends after 250 ms: three polls") << "sleep 0.25" << 250 << 3;
    }
    void waitEndsWithTheChild() {
        QFETCH(QString, commandLine);
        QFETCH(int, childMilliseconds);
        QFETCH(int, mostPolls);
        QScopedPointer<QProgressBar> bar(NewBar(0, QStringLiteral("before")));
        // The fewest polls of three tries, so a busy machine cannot fail it.
        int fewest = std::numeric_limits<int>::max();
        for (int attempt = 0; attempt < 3; ++attempt) {
            QElapsedTimer clock;
            clock.start();
            int polls = 0;
            QCOMPARE(RunAndWait(commandLine, 0, bar.get(), QStringLiteral("a.png"), 0, 1, nullptr,
                                &polls),
                     0);
            QVERIFY2(clock.elapsed() >= std::max(100, childMilliseconds),
                     qPrintable(QString::number(clock.elapsed())));
            fewest = std::min(fewest, polls);
        }
        QVERIFY(fewest >= 1);
        QVERIFY2(fewest <= mostPolls, qPrintable(QString::number(fewest)));
        QCOMPARE(bar->text(), QStringLiteral("a.png"));
    }

    // A converter runs in a process group of its own; when the program waiting for it is
    // killed outright, it goes too instead of writing on behind the program's back.
    void childDiesWithItsKilledParent() {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("pid"));
        QProcess parent;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELLORAN_WAITING_PARENT_PID_FILE"), pidFile);
        parent.setProcessEnvironment(env);
        parent.start(QCoreApplication::applicationFilePath(), {QStringLiteral("waitingParent")});
        QVERIFY(parent.waitForStarted());
        pid_t child = 0;
        for (int tries = 0; tries < 3000 && child <= 0; ++tries) {
            QTest::qWait(10);
            child = ReadFile(pidFile).trimmed().toInt();
        }
        QVERIFY(child > 0);
        QVERIFY(Runs(child));
        QCOMPARE(::kill(pid_t(parent.processId()), SIGKILL), 0);
        QVERIFY(parent.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(!Runs(child), 5000);
    }

    // The program of childDiesWithItsKilledParent; skipped when run on its own.
    void waitingParent() {
        const QString pidFile = qEnvironmentVariable("VELLORAN_WAITING_PARENT_PID_FILE");
        if (pidFile.isEmpty()) {
            QSKIP("one half of childDiesWithItsKilledParent");
        }
        RunAndWait(QStringLiteral("/bin/sh -c \"echo $$ > '%1.new'; mv '%1.new' '%1'; "
                                  "exec sleep 60\"")
                       .arg(pidFile),
                   0, nullptr, QString(), 0, 1);
    }
};

QTEST_MAIN(RunAndWaitTest)
#include "run_and_wait_test.moc"

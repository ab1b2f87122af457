// SPDX-License-Identifier: MIT
#include "engine/run_and_wait.h"

#include "engine/converter_progress.h"
#include "engine/own_file.h"
#include "util/descriptor_path.h"
#include "util/vb_convert.h"
#include "util/vb_error.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <vector>

namespace {

constexpr int kStillActive = 259;
constexpr int kPollMilliseconds = 100;
constexpr int kCounterFromPoll = 50;
constexpr int kNudgeEveryPolls = 150;
// Shown minimised without focus: the style of a missing or unknown value.
constexpr int kDefaultWindowStyle = 6;
constexpr int kDivisionByZero = 11;
// Enough of a chatty child's standard error to find its last line.
constexpr qsizetype kStandardErrorTail = 64 * 1024;
// The exit of a child whose parent ended while it started: no one waits for it any more.
constexpr int kOrphanedExit = 127;

int CheckedWindowStyle(std::optional<int> style) {
    return style && *style >= 0 && *style <= 6 ? *style : kDefaultWindowStyle;
}

void NudgeBar(ConverterProgress& bar, int counter, int barValue, int fileCount) {
    if (fileCount == 0) {
        Raise(kDivisionByZero, QStringLiteral("Division by zero"));
    }
    const double share = 100.0 / fileCount;
    const double step = RoundHalfEven(share / 10);
    const double cap = RoundHalfEven(share + barValue - step);
    const double value = double(counter) / kNudgeEveryPolls * step + barValue;
    // A value past the bar's end (possible for the last file) is clamped by the bar.
    bar.SetValue(qRound(std::min(value, cap)));
}

// This process's open descriptors that the arguments name as /proc/self/fd/<n>: the child
// finds them under the same numbers.
std::vector<int> InheritedDescriptors(const QStringList& arguments) {
    std::vector<int> descriptors;
    for (const QString& argument : arguments) {
        const std::optional<int> fd = DescriptorOfPath(argument);
        if (fd && ::fcntl(*fd, F_GETFD) != -1) {
            descriptors.push_back(*fd);
        }
    }
    return descriptors;
}

// The child process with its standard error collected as it arrives.
class Child {
public:
    Child() {
        process_.setStandardInputFile(QProcess::nullDevice());
        process_.setStandardOutputFile(QProcess::nullDevice());
        QObject::connect(&process_, &QProcess::readyReadStandardError, [this] { Collect(); });
    }
    ~Child() {
        // Only an error raised during the wait leaves a child running; it is ended so
        // it cannot write its results behind the caller's back.
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(-1);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Start(const QString& commandLine) {
        QStringList arguments = QProcess::splitCommand(commandLine);
        if (arguments.isEmpty()) {
            failure_ = QStringLiteral("The command line is empty");
            return false;
        }
        process_.setProgram(arguments.takeFirst());
        process_.setArguments(arguments);
        // The descriptors the arguments name reach the child and no other: they stay
        // closed on exec here and are opened up in the child alone, after the fork.
        // The child gets a process group of its own: a terminal's Ctrl-C goes to the
        // program, which lets the picture in progress finish, instead of killing the
        // conversion under it. Out of the program's group, nothing would end it with a
        // program killed outright, so it is told to die with its parent; a parent that
        // died before that was asked is seen in getppid() and the child goes at once.
        process_.setChildProcessModifier(
            [descriptors = InheritedDescriptors(arguments), parent = ::getpid()] {
                ::setpgid(0, 0);
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (::getppid() != parent) {
                    ::_exit(kOrphanedExit);
                }
                for (const int fd : descriptors) {
                    ::fcntl(fd, F_SETFD, 0);
                }
            });
        bool started = false;
        {
            const std::lock_guard<std::mutex> noProgramWrittenMeanwhile(ProgramStartLock());
            process_.start(QIODevice::ReadOnly);
            started = process_.waitForStarted(-1);
        }
        if (!started) {
            failure_ = process_.errorString();
            return false;
        }
        return true;
    }

    // The exit code as the wait reads it: 259 while the child runs. The state is the one
    // the last Sleep() or turn of the event loop brought up to date (error() is not used:
    // a poll would leave it at Timedout).
    qint32 ExitCode() const {
        if (process_.state() != QProcess::NotRunning) {
            return kStillActive;
        }
        if (process_.exitStatus() == QProcess::CrashExit) {
            return 128 + std::max(1, process_.exitCode());
        }
        return process_.exitCode();
    }

    // Sleeps one poll interval, ended early by the child's end; the first poll always
    // sleeps the whole interval, so even a child that ends at once costs one poll.
    void Sleep(int milliseconds, bool whole) {
        const QDeadlineTimer interval(milliseconds);
        if (process_.state() != QProcess::NotRunning) {
            process_.waitForFinished(milliseconds);
        }
        if (whole) {
            QThread::msleep(
                static_cast<unsigned long>(std::max<qint64>(0, interval.remainingTime())));
        }
    }

    QString LastErrorLine() {
        if (!failure_.isEmpty()) {
            return failure_;
        }
        Collect();
        const QList<QByteArray> lines = standardError_.split('\n');
        for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
            const QByteArray trimmed = line->trimmed();
            if (!trimmed.isEmpty()) {
                return QString::fromLocal8Bit(trimmed);
            }
        }
        if (process_.state() == QProcess::NotRunning &&
            process_.exitStatus() == QProcess::CrashExit) {
            return QStringLiteral("The program was ended by signal %1").arg(process_.exitCode());
        }
        return QString();
    }

private:
    void Collect() {
        standardError_ += process_.readAllStandardError();
        if (standardError_.size() > 2 * kStandardErrorTail) {
            standardError_ = standardError_.right(kStandardErrorTail);
        }
    }

    QByteArray standardError_;
    QString failure_;
    // Last, so it goes first: its signals may still reach Collect() while it ends.
    QProcess process_;
};

}  // namespace

qint32 RunAndWait(const QString& commandLine, std::optional<int> windowStyle,
                  ConverterProgress& bar, const QString& barText, int barValue, int fileCount,
                  QString* childError, int* polls) {
    const auto Yield = [&bar] { bar.Yield(); };
    // Linux has no window to show for a console child; the style is only checked.
    [[maybe_unused]] const int style = CheckedWindowStyle(windowStyle);

    Child child;
    if (polls != nullptr) {
        *polls = 0;
    }
    if (!child.Start(commandLine)) {
        if (childError != nullptr) {
            *childError = child.LastErrorLine();
        }
        return kRunAndWaitStartFailed;
    }

    qint32 exitCode = 0;
    int barPolls = 0;
    int allPolls = 0;
    bool firstPoll = true;
    do {
        ++allPolls;
        // The exit code is read after the sleep, which the child's end cuts short: the
        // wait returns as soon as the child has ended, yet at least one poll later.
        Yield();
        child.Sleep(kPollMilliseconds, firstPoll);
        firstPoll = false;
        exitCode = child.ExitCode();
        // The bar's window may close while the wait yields: asked again after each yield.
        if (bar.Shows()) {
            Yield();
            ++barPolls;
            if (barPolls >= kCounterFromPoll) {
                Yield();
                const int counter = barPolls - kCounterFromPoll;
                if (bar.Shows()) {
                    bar.SetText(
                        barText + (barText.isEmpty() ? QString() : QStringLiteral(", ")) +
                                 QStringLiteral("Please wait.. ") + QString::number(counter));
                    if (counter % kNudgeEveryPolls == 0) {
                        NudgeBar(bar, counter, barValue, fileCount);
                    }
                }
                Yield();
            }
            Yield();
        }
        Yield();
    } while (exitCode == kStillActive);

    if (bar.Shows()) {
        bar.SetText(barText.isEmpty() ? QStringLiteral("Progress Bar") : barText);
    }
    if (childError != nullptr) {
        *childError = child.LastErrorLine();
    }
    if (polls != nullptr) {
        *polls = allPolls;
    }
    return exitCode;
}

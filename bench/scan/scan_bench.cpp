// SPDX-License-Identifier: MIT
// Builds a tree of 100,000 files in 5,000 folders (once) and clicks "Add All File(s) In
// Folder" on it with "*" through the real handler, on an offscreen window. Prints the
// files added per second and the longest time the event loop went without a turn.
//
// Usage: velloran_bench_scan <tree folder> [runs]
#include "../bench_environment.h"
#include "ui/file_list_view.h"
#include "ui/form1.h"
#include "util/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kTopFolders = 50;
constexpr int kSubFolders = 99;      // 50 + 50 * 99 = 5,000 folders
constexpr int kFilesPerFolder = 20;  // 100,000 files
const char kRecipe[] = "50x99 folders, 20 files each";
constexpr double kTargetFilesPerSecond = 50000;
constexpr double kTargetGapMs = 100;

// Answers the extension box with "*" and the folder browser with the tree.
class ScriptedDialogs : public Dialogs {
public:
    explicit ScriptedDialogs(QString folder) : folder_(std::move(folder)) {}
    Button messageBox(const QString& text, const QString&, Icon, Buttons) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        ++messages;
        return Button::Ok;
    }
    QString inputBox(const QString&, const QString&, const QString&) override {
        return QStringLiteral("*");
    }
    QStringList openFileNames(const QString&, const QString&) override { return {}; }
    QString browseForFolder(const QString&, const QString&) override { return folder_; }
    Font chooseFont(const Font& initial) override { return initial; }
    quint32 chooseColor(quint32 initial) override { return initial; }
    void openUrl(const QUrl&) override {}

    int messages = 0;

private:
    QString folder_;
};

// Sees every turn of the event loop: it keeps one event posted to itself, and Qt
// delivers posted events on each processEvents().
class Heartbeat : public QObject {
public:
    void start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        beats_ = 0;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    // Counts the stretch from the last turn to now as a gap too.
    void stop() { note(); }
    qint64 longestNs() const { return longest_; }
    int beats() const { return beats_; }

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User) {
            return QObject::event(e);
        }
        note();
        ++beats_;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return true;
    }

private:
    void note() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }

    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    int beats_ = 0;
};

bool Touch(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd >= 0 && ::close(fd) == 0;
}

bool MakeFolderWithFiles(const QString& folder) {
    if (!QDir().mkpath(folder)) {
        return false;
    }
    const QByteArray base = QFile::encodeName(folder);
    for (int i = 0; i < kFilesPerFolder; ++i) {
        if (!Touch(base + "/IMG_" + QByteArray::number(1000 + i) + ".jpg")) {
            return false;
        }
    }
    return true;
}

// Builds the tree unless a tree of the same recipe is already there.
bool EnsureTree(const QString& root) {
    QFile recipe(root + QStringLiteral("/.recipe"));
    if (recipe.open(QIODevice::ReadOnly) && recipe.readAll() == kRecipe) {
        return true;
    }
    std::printf("Building the tree in %s ...\n", qPrintable(root));
    QDir(root).removeRecursively();
    for (int top = 0; top < kTopFolders; ++top) {
        const QString topFolder =
            root + QStringLiteral("/Album %1").arg(top, 2, 10, QLatin1Char('0'));
        if (!MakeFolderWithFiles(topFolder)) {
            return false;
        }
        for (int sub = 0; sub < kSubFolders; ++sub) {
            if (!MakeFolderWithFiles(topFolder +
                                     QStringLiteral("/day %1").arg(sub, 2, 10, QLatin1Char('0')))) {
                return false;
            }
        }
    }
    // The recipe file is a dot-file the handler skips (attribute 34).
    recipe.close();
    return recipe.open(QIODevice::WriteOnly) && recipe.write(kRecipe) > 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <tree folder> [runs]\n", argv[0]);
        return 2;
    }
    const QString root = QDir(QFile::decodeName(argv[1])).absolutePath();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (!EnsureTree(root)) {
        std::fprintf(stderr, "could not build the tree in %s\n", qPrintable(root));
        return 1;
    }

    QTemporaryDir scratch;
    double slowestRate = 0;
    double longestGapMs = 0;
    for (int run = 1; run <= runs; ++run) {
        ScriptedDialogs dialogs(root);
        Form1 form(dialogs,
                   BenchEnvironment(scratch.path(), scratch.path() + QStringLiteral("/temp")));
        form.Form_Load();
        form.show();
        QCoreApplication::processEvents();

        Heartbeat heartbeat;
        QElapsedTimer clock;
        heartbeat.start();
        clock.start();
        form.PushButton3_Click();
        const qint64 ns = clock.nsecsElapsed();
        heartbeat.stop();

        const int files = form.ListView1->Count();
        const double rate = files / (ns / 1e9);
        const double gapMs = heartbeat.longestNs() / 1e6;
        std::printf(
            "run %d: %d files in %.3f s = %.0f files/s; longest gap between yields "
            "%.1f ms over %d yields; %d messages\n",
            run, files, ns / 1e9, rate, gapMs, heartbeat.beats(), dialogs.messages);
        slowestRate = run == 1 ? rate : std::min(slowestRate, rate);
        longestGapMs = std::max(longestGapMs, gapMs);
    }
    const bool met = slowestRate >= kTargetFilesPerSecond && longestGapMs <= kTargetGapMs;
    std::printf(
        "slowest run %.0f files/s (target >= %.0f), longest gap %.1f ms (target <= %.0f): "
        "%s\n",
        slowestRate, kTargetFilesPerSecond, longestGapMs, kTargetGapMs,
        met ? "targets met" : "TARGETS MISSED");
    return met ? 0 : 3;
}

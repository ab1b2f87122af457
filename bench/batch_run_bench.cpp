// SPDX-License-Identifier: MIT
// Times the real "Start Stamping" handler on an offscreen window over the pictures of a
// list file, and prints milliseconds per picture, peak memory, how resident memory moved
// through the run and the longest time the event loop went without a turn.
//
// Usage: velloran_bench_batch_run <empty output folder> <list file (one path a line)>
//
// The window is set up as a user would leave it: stamp your own text, two lines in 24 pt,
// lower right, JPEG quality 85. Settings and the converter's temporary folder live in a
// scratch folder that is removed at the end.
#include "bench_environment.h"
#include "ui/file_list_view.h"
#include "ui/form1.h"
#include "ui/stamp_text_box.h"
#include "util/dialogs.h"
#include "engine/engine_start.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

const QString kStampText = QStringLiteral("Velloran benchmark\r\n12/6/2026 3:04:05 PM");
constexpr double kStampPoints = 24;
constexpr int kQuality = 85;
const QString kPosition = QStringLiteral("Lower-right");
constexpr int kTenths = 10;

// Answers every box with OK and keeps the texts, so the run's reports can be shown.
class ScriptedDialogs : public Dialogs {
public:
    Button messageBox(const QString& text, const QString&, Icon, Buttons) override {
        messages << text;
        return Button::Ok;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&) override { return {}; }
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    Font chooseFont(const Font& initial) override { return initial; }
    quint32 chooseColor(quint32 initial) override { return initial; }
    void openUrl(const QUrl&) override {}

    QStringList messages;
};

double ResidentMb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

// The children's figure is left out: a child started with vfork takes the parent's
// high-water mark into its own at exec, so it would show the window's peak, not the
// converter's.
double PeakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

double CpuSeconds() {
    double seconds = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        seconds += double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6 +
                   double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}

// CPU time of the window's thread alone: with a spare core for the workers it is the run's
// critical path, a figure that a busy machine does not blur the way it blurs wall time.
double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Sees every turn of the event loop: it keeps one event posted to itself, and Qt delivers
// the posted events on each processEvents(). On each turn it also notes the resident
// memory against the run's progress.
class Heartbeat : public QObject {
public:
    explicit Heartbeat(const QProgressBar* bar) : bar_(bar) {}

    void start() {
        clock_.start();
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    // Counts the stretch from the last turn to now as a gap too.
    void stop() { note(); }

    double longestGapMs() const { return double(longest_) / 1e6; }
    int turns() const { return turns_; }
    // The highest resident memory seen in each tenth of the run (0 where no turn fell).
    const std::array<double, kTenths>& residentByTenth() const { return resident_; }

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User) {
            return QObject::event(e);
        }
        note();
        ++turns_;
        const int tenth = std::clamp(bar_->value() * kTenths / 100 - 1, 0, kTenths - 1);
        resident_[tenth] = std::max(resident_[tenth], ResidentMb());
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return true;
    }

private:
    void note() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }

    const QProgressBar* bar_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    int turns_ = 0;
    std::array<double, kTenths> resident_{};
};

QStringList ReadList(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QStringList files;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty()) {
            files << QString::fromLocal8Bit(line);
        }
    }
    return files;
}

// The largest picture of the list as decoded into the canvas (4 bytes a pixel).
double LargestDecodedMb(const QStringList& files) {
    qint64 largest = 0;
    for (const QString& file : files) {
        const QSize size = QImageReader(file).size();
        largest = std::max(largest, qint64(size.width()) * size.height() * 4);
    }
    return double(largest) / (1 << 20);
}

void SetUpStamp(Form1& form, const QString& outputFolder) {
    form.Combo1->setCurrentIndex(0);  // stamp your own text
    form.Combo1_Click();
    form.Combo2->setCurrentIndex(form.Combo2->findText(kPosition));
    form.Combo2_Click();
    form.Text4->SetText(kStampText);
    form.Text4->SetFontName(QStringLiteral("Arial"));
    form.Text4->SetFontSize(kStampPoints);
    form.Text4->SetForeColor(0x00FFFFFF);
    form.Slider1->setValue(kQuality);
    form.Text1->setText(outputFolder);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velloran"));
    StartEngine();
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output folder> <list file>\n", argv[0]);
        return 2;
    }
    const QString outputFolder = QDir(QFile::decodeName(argv[1])).absolutePath();
    const QStringList files = ReadList(QFile::decodeName(argv[2]));
    if (files.isEmpty()) {
        std::fprintf(stderr, "the list %s is empty or unreadable\n", argv[2]);
        return 2;
    }

    QTemporaryDir scratch;
    ScriptedDialogs dialogs;
    Form1 form(dialogs, BenchEnvironment(scratch.path(), scratch.path() + QStringLiteral("/temp")));
    form.Form_Load();
    for (const QString& file : files) {
        form.ListView1->Add(file);
    }
    SetUpStamp(form, outputFolder);
    form.show();
    QCoreApplication::processEvents();
    dialogs.messages.clear();

    const double residentBefore = ResidentMb();
    const double cpuBefore = CpuSeconds();
    const double windowCpuBefore = ThreadCpuSeconds();
    Heartbeat heartbeat(form.ProgressBar1);
    QElapsedTimer clock;
    heartbeat.start();
    clock.start();
    form.PushButton2_Click();
    const double totalMs = double(clock.nsecsElapsed()) / 1e6;
    heartbeat.stop();
    const double cpuMs = (CpuSeconds() - cpuBefore) * 1000;
    const double windowCpuMs = (ThreadCpuSeconds() - windowCpuBefore) * 1000;

    const qsizetype written = QDir(outputFolder).entryList(QDir::Files).size();
    const double largestMb = LargestDecodedMb(files);
    const double peakMb = PeakMb();
    std::printf("pictures %lld\nwritten %lld\n", static_cast<long long>(files.size()),
                static_cast<long long>(written));
    std::printf("total_ms %.1f\n", totalMs);
    std::printf("ms_per_picture %.1f\n", totalMs / double(files.size()));
    std::printf("cpu_ms_per_picture %.1f\n", cpuMs / double(files.size()));
    std::printf("window_cpu_ms_per_picture %.1f\n", windowCpuMs / double(files.size()));
    std::printf("peak_rss_mb %.1f\n", peakMb);
    std::printf("rss_before_run_mb %.1f\n", residentBefore);
    std::printf("largest_decoded_mb %.1f\n", largestMb);
    std::printf("peak_over_largest %.2f\n", largestMb > 0 ? peakMb / largestMb : 0.0);
    std::printf("run_growth_over_largest %.2f\n",
                largestMb > 0 ? (peakMb - residentBefore) / largestMb : 0.0);
    std::printf("rss_by_tenth_mb");
    for (const double mb : heartbeat.residentByTenth()) {
        std::printf(" %.0f", mb);
    }
    std::printf("\nlongest_gap_ms %.1f\n", heartbeat.longestGapMs());
    std::printf("event_loop_turns %d\n", heartbeat.turns());

    // Only "Done." is expected; anything else is a failure of the run worth seeing.
    int unexpected = 0;
    for (const QString& message : dialogs.messages) {
        if (message != QLatin1String("Done.")) {
            std::fprintf(stderr, "message: %s\n", qPrintable(message));
            ++unexpected;
        }
    }
    std::printf("messages %lld (unexpected %d)\n", static_cast<long long>(dialogs.messages.size()),
                unexpected);
    return unexpected == 0 && written == files.size() ? 0 : 1;
}

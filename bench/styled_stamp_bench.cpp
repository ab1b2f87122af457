// SPDX-License-Identifier: MIT
// Timing helper for bench/styled_stamp_bench.sh: stamps every JPEG of a folder twice through
// the engine's road (load, stamp, write with metadata), once with the window's plain stamp
// and once with a styled one, alternating picture by picture so both meet the same load
// on a shared machine. Prints the CPU time of each road and their ratio. With "names" the
// stamp is each picture's file name, so no picture's text is drawn twice.

#include "engine/engine_start.h"
#include "engine/stamp_source.h"
#include "engine/stamp_style_parsing.h"

#include <QDir>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The companion's defaults for a date stamp in the lower right.
StampSettings Plain(const QString& output) {
    StampSettings settings;
    settings.text = QStringLiteral("12/8/2026 3:04:05 PM");
    settings.position = QStringLiteral("Lower-right");
    settings.fontFamily = QStringLiteral("Arial");
    settings.fontSize = 24;
    settings.color = 0x00FFFFFF;
    settings.quality = 85;
    settings.outputFolder = output;
    return settings;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 3 && !(args.size() == 4 && args[3] == QLatin1String("names"))) {
        std::fprintf(stderr,
                     "usage: velloran_bench_styled_stamp <corpus> <output> <temp> [names]\n");
        return 2;
    }
    const QDir corpus(args[0]);
    const QString plainOut = args[1] + QStringLiteral("/plain");
    const QString styledOut = args[1] + QStringLiteral("/styled");
    QDir().mkpath(plainOut);
    QDir().mkpath(styledOut);
    QDir().mkpath(args[2]);

    const bool names = args.size() == 4;
    StampSettings plain = Plain(plainOut);
    StampSettings styled = Plain(styledOut);
    StampStyle style;
    style.size = ParseStampSize(u"3%").value;
    style.outline = ParseStampDecoration(u"").value;
    style.color = ParseStampTextColor(u"auto").value;
    styled.style = style;

    StartEngine();
    SourceStamper stamper(args[2]);
    std::vector<double> plainMs;
    std::vector<double> styledMs;
    const QStringList files = corpus.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        const QString source = corpus.filePath(name);
        if (names) {
            plain.text = name;
            styled.text = name;
        }
        // Half the pictures start with the plain road, half with the styled one, so a
        // file cache or frequency ramp favours neither.
        const bool plainFirst = plainMs.size() % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            const bool isPlain = (turn == 0) == plainFirst;
            const double start = ProcessCpuMs();
            const auto failures = stamper.Stamp(source, isPlain ? plain : styled);
            (isPlain ? plainMs : styledMs).push_back(ProcessCpuMs() - start);
            if (!failures.isEmpty()) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(name),
                             qPrintable(failures.first().description));
                return 1;
            }
        }
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "no JPEG in %s\n", qPrintable(args[0]));
        return 1;
    }
    double plainSum = 0;
    double styledSum = 0;
    for (size_t i = 0; i < plainMs.size(); ++i) {
        plainSum += plainMs[i];
        styledSum += styledMs[i];
    }
    std::printf("pictures %lld\n", static_cast<long long>(files.size()));
    std::printf("plain_cpu_ms_median %.1f\n", Median(plainMs));
    std::printf("styled_cpu_ms_median %.1f\n", Median(styledMs));
    std::printf("styled_over_plain_total %.4f\n", styledSum / plainSum);
    return 0;
}

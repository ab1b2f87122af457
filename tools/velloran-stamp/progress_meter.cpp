// SPDX-License-Identifier: MIT
#include "progress_meter.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr qint64 kRedrawIntervalMs = 100;
constexpr int kBarWidth = 24;

int TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (::ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

QString Duration(qint64 seconds) {
    if (seconds >= 3600) {
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

ProgressMeter::ProgressMeter(std::FILE* stream, int total, bool wanted)
    : stream_(stream), total_(total), active_(wanted && total > 0 && ::isatty(fileno(stream))) {
    sinceStart_.start();
    sinceDraw_.start();
}

QString ProgressMeter::Line(int done, int total, qint64 elapsedMs, const QString& current,
                            int columns) {
    const int filled = total > 0 ? static_cast<int>(qint64(done) * kBarWidth / total) : 0;
    QString line = QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                   QString(kBarWidth - filled, QLatin1Char('.')) + QStringLiteral("] ") +
                   QStringLiteral("%1/%2 %3%")
                       .arg(done)
                       .arg(total)
                       .arg(total > 0 ? qint64(done) * 100 / total : 0);
    if (done > 0 && done < total) {
        const qint64 leftMs = elapsedMs * (total - done) / done;
        line += QStringLiteral(" %1 left").arg(Duration((leftMs + 999) / 1000));
    }
    if (!current.isEmpty()) {
        line += QLatin1Char(' ') + current;
    }
    // A line longer than the terminal would wrap and leave a trail of old lines; control
    // characters of a file name would move the cursor.
    for (QChar& c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = QLatin1Char('?');
        }
    }
    return line.left(std::max(columns - 1, 1));
}

void ProgressMeter::Update(int done, const QString& current) {
    if (!active_ || (drawn_ && done < total_ && sinceDraw_.elapsed() < kRedrawIntervalMs)) {
        return;
    }
    sinceDraw_.restart();
    drawn_ = true;
    const QByteArray line =
        Line(done, total_, sinceStart_.elapsed(), current, TerminalColumns(stream_)).toUtf8();
    std::fprintf(stream_, "\r\033[K%s", line.constData());
    std::fflush(stream_);
}

void ProgressMeter::Clear() {
    if (active_ && drawn_) {
        std::fputs("\r\033[K", stream_);
        std::fflush(stream_);
        drawn_ = false;
    }
}

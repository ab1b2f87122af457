// SPDX-License-Identifier: MIT
#include "core/overlay_text.h"

#include "util/error_trap.h"

#include <QStringList>

#include <functional>

namespace {

// Margins in twips, whatever the image size.
constexpr double kNearMargin = 10;
constexpr double kBottomMargin = 30;
constexpr double kRightMargin = 70;

// Statement labels of one line-by-line row: loop start, x, y, print, loop end.
struct LineLabels {
    int loopStart;
    int x;
    int y;
    int print;
    int loopEnd;
};

// A coordinate of line i in twips; every size is read from the canvas when it is needed.
using LineCoordinate = std::function<double(qsizetype i)>;

// The canvas takes single-precision coordinates, as the picture box did.
double Single(double value) {
    return static_cast<float>(value);
}

void PrintWhole(ErrorTrap& trap, Canvas& canvas, const QString& text, int labelX, int labelY,
                int labelPrint, const std::function<double()>& x,
                const std::function<double()>& y) {
    trap.Do(labelX, [&] { canvas.CurrentX = Single(x()); });
    trap.Do(labelY, [&] { canvas.CurrentY = Single(y()); });
    trap.Do(labelPrint, [&] { canvas.Print(text); });
}

void PrintLineByLine(ErrorTrap& trap, Canvas& canvas, const QStringList& lines,
                     const LineLabels& labels, const LineCoordinate& x, const LineCoordinate& y) {
    qsizetype last = -1;
    trap.Do(labels.loopStart, [&] { last = lines.size() - 1; });
    qsizetype i = 0;
    while (i <= last) {
        trap.Do(labels.x, [&] { canvas.CurrentX = Single(x(i)); });
        trap.Do(labels.y, [&] { canvas.CurrentY = Single(y(i)); });
        trap.Do(labels.print, [&] { canvas.Print(lines.at(i)); });
        // Advancing cannot throw, so a failed line never stalls the loop.
        trap.Do(labels.loopEnd, [&] { ++i; });
    }
}

}  // namespace

void OverlayText2(Canvas& canvas, const QString& text, const QString& position, Dialogs& dialogs) {
    using namespace stamp_position;
    ErrorTrap trap(dialogs, QStringLiteral("Stamp.OverlayText2"));

    if (trap.Test(100, [&] { return text.isEmpty(); })) {
        return;
    }
    QStringList lines;
    trap.Do(102, [&] { lines = text.split(QStringLiteral("\r\n")); });

    // Sizes in twips, read fresh at every use.
    const auto bw = [&] { return canvas.TextWidth(text); };
    const auto bh = [&] { return canvas.TextHeight(text); };
    const auto lh = [&](qsizetype i) { return canvas.TextHeight(lines.at(i)); };
    const auto rightX = [&](qsizetype) { return canvas.Width() - bw() - kRightMargin; };
    const auto centreX = [&](qsizetype) { return canvas.ScaleWidth() / 2 - bw() / 2; };
    const auto topY = [&](qsizetype i) { return lh(i) * static_cast<double>(i) + kNearMargin; };
    const auto bottomY = [&](qsizetype i) {
        return canvas.Height() - bh() - kBottomMargin + lh(i) * static_cast<double>(i);
    };
    const auto middleY = [&](qsizetype i) {
        return canvas.ScaleHeight() / 2 - bh() / 2 + lh(i) * static_cast<double>(i);
    };
    const auto is = [&](const char16_t* name) { return position == QStringView(name); };

    if (trap.Test(104, [&] { return is(kUpperLeft); })) {
        PrintWhole(
            trap, canvas, text, 106, 108, 110, [] { return kNearMargin; },
            [] { return kNearMargin; });
    } else if (trap.Test(112, [&] { return is(kUpperRight); })) {
        PrintLineByLine(trap, canvas, lines, {114, 116, 118, 120, 122}, rightX, topY);
    } else if (trap.Test(124, [&] { return is(kLowerLeft); })) {
        PrintWhole(
            trap, canvas, text, 126, 128, 130, [] { return kNearMargin; },
            [&] { return canvas.Height() - bh() - kBottomMargin; });
    } else if (trap.Test(132, [&] { return is(kLowerRight); })) {
        PrintLineByLine(trap, canvas, lines, {134, 136, 138, 140, 142}, rightX, bottomY);
    } else if (trap.Test(144, [&] { return is(kCenterTop); })) {
        PrintLineByLine(trap, canvas, lines, {146, 148, 150, 152, 154}, centreX, topY);
    } else if (trap.Test(156, [&] { return is(kCenterLeft); })) {
        PrintWhole(
            trap, canvas, text, 158, 160, 162, [] { return kNearMargin; },
            [&] { return canvas.ScaleHeight() / 2 - bh() / 2; });
    } else if (trap.Test(164, [&] { return is(kCenterRight); })) {
        PrintLineByLine(trap, canvas, lines, {166, 168, 170, 172, 174}, rightX, middleY);
    } else if (trap.Test(176, [&] { return is(kCenterBottom); })) {
        PrintLineByLine(trap, canvas, lines, {178, 180, 182, 184, 186}, centreX, bottomY);
    } else if (trap.Test(188, [&] { return is(kCenter); })) {
        PrintLineByLine(trap, canvas, lines, {190, 192, 194, 196, 198}, centreX, middleY);
    }
}

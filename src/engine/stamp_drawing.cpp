// SPDX-License-Identifier: MIT
#include "engine/stamp_drawing.h"

#include "core/canvas.h"
#include "core/overlay_text.h"
#include "core/styled_overlay.h"
#include "util/error_trap.h"

namespace {

// Dialogs of a drawing that only measures: whatever it would report, the real drawing
// reports after it.
class SilentDialogs final : public Dialogs {
public:
    Button messageBox(const QString&, const QString&, Icon, Buttons) override { return Button::Ok; }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&) override { return {}; }
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    Font chooseFont(const Font& initial) override { return initial; }
    quint32 chooseColor(quint32 initial) override { return initial; }
    void openUrl(const QUrl&) override {}
};

}  // namespace

void DrawStamp(Canvas& canvas, const StampSettings& settings, Dialogs& dialogs) {
    if (settings.style) {
        OverlayStyledText(canvas, settings.text, settings.position, *settings.style);
        return;
    }
    OverlayText2(canvas, settings.text, settings.position, dialogs);
}

QRect StampExtent(const Canvas& canvas, QSize pictureSize, const StampSettings& settings) {
    Canvas measure;
    measure.Font = canvas.Font;
    measure.ForeColor = canvas.ForeColor;
    measure.SetTile(QImage(), QPoint(), pictureSize);
    if (settings.style) {
        return StyledStampExtent(measure, settings.text, settings.position, *settings.style);
    }
    // The run's listeners hear only the drawing itself.
    const TrapReports quiet([](const ErrorTrap&, int, int, const QString&) {});
    SilentDialogs silent;
    OverlayText2(measure, settings.text, settings.position, silent);
    return measure.PrintedBounds().intersected(QRect(QPoint(0, 0), pictureSize));
}

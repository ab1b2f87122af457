// SPDX-License-Identifier: MIT
// Writes <folder>/overlay-<position>.png for each of the nine positions: a three-line
// stamp in a serif bold italic face and orange on a gradient, so placement can be judged
// by eye. Usage: overlay_preview [folder] (default /tmp).

#include "core/canvas.h"
#include "core/overlay_text.h"
#include "core/stamp_modes.h"
#include "support/fake_dialogs.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QTextStream>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");

    QImage picture(640, 400, QImage::Format_RGB32);
    {
        QPainter painter(&picture);
        QLinearGradient gradient(0, 0, 640, 400);
        gradient.setColorAt(0, QColor(30, 60, 90));
        gradient.setColorAt(1, QColor(200, 210, 220));
        painter.fillRect(picture.rect(), gradient);
        // Cross-hairs through the centre to judge the centred positions.
        painter.setPen(QColor(0, 255, 0));
        painter.drawLine(320, 0, 320, 399);
        painter.drawLine(0, 200, 639, 200);
    }

    QTextStream out(stdout);
    int failures = 0;
    for (const QString& position : StampPositionTexts()) {
        Canvas canvas;
        canvas.SetPicture(picture);
        canvas.SetFontName(QStringLiteral("Times New Roman"));
        canvas.SetFontBold(true);
        canvas.SetFontItalic(true);
        canvas.SetFontSize(20);
        canvas.ForeColor = 0x000080FF;  // orange
        FakeDialogs dialogs;
        OverlayText2(canvas,
                     QStringLiteral("Velloran stamp\r\n") + position +
                         QStringLiteral("\r\nthird, the longest line"),
                     position, dialogs);
        const QString path = folder + QStringLiteral("/overlay-") + position + ".png";
        if (!canvas.Image().save(path) || !dialogs.calls.isEmpty()) {
            ++failures;
        }
        out << path << '\n';
    }
    return failures == 0 ? 0 : 1;
}

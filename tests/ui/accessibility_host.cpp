// SPDX-License-Identifier: MIT
// The main window and the preview window, shown for accessibility_tree_test.py to read
// over AT-SPI as a screen reader does. Prints "ready" once both are on the screen. Lines
// on standard input act on the window: "progress <text>" shows a text on the progress
// bar as a run does. "Change Color" answers red.

#include "ui/progress_bar_text.h"
#include "support/form_fixture.h"
#include "ui/form2.h"
#include "ui/screen_placement.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTest>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velloran"));

    FormFixture f;
    f.dialogs.colorAnswers << 0x0000FF;
    PlaceOnScreen(f.form);
    f.form.show();
    Form2 preview(&f.form, f.t.programFolder(), f.dialogs);
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 160));
    preview.ShowPicture(picture);
    if (!QTest::qWaitForWindowExposed(&f.form) || !QTest::qWaitForWindowExposed(&preview)) {
        std::fprintf(stderr, "accessibility_host: the windows never showed\n");
        return 1;
    }

    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string line;
        if (!std::getline(std::cin, line)) {
            QApplication::quit();
            return;
        }
        const QString command = QString::fromStdString(line);
        const QString progress = QStringLiteral("progress ");
        if (command.startsWith(progress)) {
            f.form.ProgressBar1->setValue(50);
            SetProgressBarText(f.form.ProgressBar1, command.mid(progress.size()));
        }
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}

// SPDX-License-Identifier: MIT
#include "ui/screen_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QPoint OnScreenPosition(const QSize& frame, const QRect& available) {
    if (frame.width() > available.width() || frame.height() > available.height()) {
        return available.topLeft();
    }
    return available.topLeft() + QPoint((available.width() - frame.width()) / 2,
                                        (available.height() - frame.height()) / 2);
}

void PlaceOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    // Before the window is shown its frame is not known yet and this is its client size.
    window.move(OnScreenPosition(window.frameGeometry().size(), screen->availableGeometry()));
}

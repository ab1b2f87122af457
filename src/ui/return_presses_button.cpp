// SPDX-License-Identifier: MIT
#include "ui/return_presses_button.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace {

class ReturnPressesButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            modifiers != Qt::NoModifier) {
            return false;
        }
        // A held key presses the button once, so a long press cannot start a second run.
        if (!key->isAutoRepeat()) {
            static_cast<QPushButton*>(watched)->click();
        }
        return true;
    }
};

}  // namespace

void LetReturnPressButtons(QWidget& window) {
    auto* filter = new ReturnPressesButton(&window);
    const auto buttons = window.findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        button->installEventFilter(filter);
    }
}

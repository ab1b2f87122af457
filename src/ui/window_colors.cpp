// SPDX-License-Identifier: MIT
#include "ui/window_colors.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QWidget>

QColor ButtonFaceColor() {
    return QApplication::palette().color(QPalette::Button);
}

namespace {

// The button face comes with the button text colour, so captions on it stay readable
// whatever text colour the window had before.
void SetBackground(QWidget& widget, const QColor& face, const QColor& text) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, face);
    palette.setColor(QPalette::WindowText, text);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

}  // namespace

void ResetFormColors(QWidget& window) {
    const QColor face = ButtonFaceColor();
    const QColor text = QApplication::palette().color(QPalette::ButtonText);
    SetBackground(window, face, text);
    const auto children = window.findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child)) {
            SetBackground(*child, face, text);
        }
    }
}

void ApplySkin(QWidget& window, const QString& programFolder) {
    if (!QFileInfo(programFolder + QStringLiteral("/x/o.cjs")).isFile()) {
        return;
    }
    ResetFormColors(window);
}

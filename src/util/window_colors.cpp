// SPDX-License-Identifier: MIT
#include "util/window_colors.h"

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

void SetBackground(QWidget& widget, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, color);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

}  // namespace

void ResetFormColors(QWidget& window) {
    const QColor face = ButtonFaceColor();
    SetBackground(window, face);
    const auto children = window.findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child)) {
            SetBackground(*child, face);
        }
    }
}

void ApplySkin(QWidget& window, const QString& programFolder) {
    if (!QFileInfo(programFolder + QStringLiteral("/x/o.cjs")).isFile()) {
        return;
    }
    ResetFormColors(window);
}

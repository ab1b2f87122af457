// SPDX-License-Identifier: MIT
#include "ui/color_swatch.h"

#include "core/canvas.h"
#include "util/vb_error.h"

ColorSwatch::ColorSwatch(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    SetBackColor(0xFFFFFF);
}

void ColorSwatch::SetBackColor(qint64 bgr) {
    if (bgr < 0 || bgr > 0xFFFFFF) {
        Raise(vberr::kInvalidPropertyValue);
    }
    color_ = static_cast<quint32>(bgr);
    QPalette p = palette();
    p.setColor(QPalette::Window, ColorFromBgr(color_));
    setPalette(p);
}

// SPDX-License-Identifier: MIT
#include "ui/color_swatch.h"

#include "core/canvas.h"
#include "ui/color_name.h"
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
    const QColor shown = ColorFromBgr(color_);
    p.setColor(QPalette::Window, shown);
    setPalette(p);
    // What the swatch shows, for those who cannot see it: a word and the exact code.
    setAccessibleName(QStringLiteral("Font colour: %1, %2")
                          .arg(ColorName(shown), shown.name(QColor::HexRgb).toUpper()));
}

// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>

// The colour swatch: a plain box whose background shows the stamp colour, and whose
// accessible name says it in words.
class ColorSwatch : public QFrame {
    Q_OBJECT

public:
    explicit ColorSwatch(QWidget* parent = nullptr);

    // 0x00BBGGRR; a value outside 0..0xFFFFFF throws VbError 380.
    quint32 BackColor() const { return color_; }
    void SetBackColor(qint64 bgr);

private:
    quint32 color_ = 0xFFFFFF;
};

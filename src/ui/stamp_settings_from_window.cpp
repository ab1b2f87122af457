// SPDX-License-Identifier: MIT
#include "ui/stamp_settings_from_window.h"

#include "ui/form1.h"
#include "ui/stamp_text_box.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

StampSettings StampSettingsFromWindow(const Form1& form) {
    StampSettings settings;
    settings.text = form.Text4->Text();
    settings.mode = form.Combo1->currentIndex();
    settings.position = form.Combo2->currentText();
    settings.fontFamily = form.Text4->FontName();
    settings.fontSize = form.Text4->FontSize();
    settings.fontBold = form.Text4->FontBold();
    settings.fontItalic = form.Text4->FontItalic();
    settings.fontStrikeout = form.Text4->FontStrikethru();
    settings.fontUnderline = form.Text4->FontUnderline();
    settings.color = form.Text4->ForeColor();
    settings.quality = form.Slider1->value();
    settings.outputFolder = form.Text1->text();
    return settings;
}

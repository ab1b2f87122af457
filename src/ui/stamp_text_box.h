// SPDX-License-Identifier: MIT
#pragma once

#include <QPlainTextEdit>

// The multi-line stamp-text box. Its text is the stamp text; its font and text colour
// are the stamp's font and colour. Lines are exchanged with the rest of the program
// joined by CR LF, so a line break typed by the user cuts lines; a lone CR or LF (a
// Linux file name may hold one) does not: it shows as its control picture on its line
// and comes back unchanged from Text().
class StampTextBox : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit StampTextBox(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);

    // Colours as 0x00BBGGRR.
    quint32 ForeColor() const { return foreColor_; }
    void SetForeColor(quint32 bgr);
    quint32 BackColor() const { return backColor_; }
    void SetBackColor(quint32 bgr);

    QString FontName() const { return font().family(); }
    bool FontBold() const { return font().bold(); }
    bool FontItalic() const { return font().italic(); }
    double FontSize() const { return font().pointSizeF(); }
    bool FontStrikethru() const { return font().strikeOut(); }
    bool FontUnderline() const { return font().underline(); }
    void SetFontName(const QString& name);
    void SetFontBold(bool value);
    void SetFontItalic(bool value);
    void SetFontSize(double points);
    void SetFontStrikethru(bool value);
    void SetFontUnderline(bool value);

private:
    void ApplyColors();

    quint32 foreColor_ = 0;
    quint32 backColor_ = 0xFFFFFF;
};

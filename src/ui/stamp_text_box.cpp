// SPDX-License-Identifier: MIT
#include "ui/stamp_text_box.h"

#include "core/canvas.h"
#include "util/vb_error.h"

#include <QTextBlock>

StampTextBox::StampTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    ApplyColors();
}

QString StampTextBox::Text() const {
    // Paragraphs of the document are the lines the user typed.
    QStringList lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        lines << block.text();
    }
    return lines.join(QStringLiteral("\r\n"));
}

void StampTextBox::SetText(const QString& text) {
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QTextDocument* doc = document();
    doc->clear();
    QTextCursor cursor(doc);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            cursor.insertBlock();
        }
        cursor.insertText(lines.at(i));
    }
}

void StampTextBox::SetForeColor(quint32 bgr) {
    foreColor_ = bgr & 0xFFFFFF;
    ApplyColors();
}

void StampTextBox::SetBackColor(quint32 bgr) {
    backColor_ = bgr & 0xFFFFFF;
    ApplyColors();
}

void StampTextBox::ApplyColors() {
    QPalette p = palette();
    p.setColor(QPalette::Text, ColorFromBgr(foreColor_));
    p.setColor(QPalette::Base, ColorFromBgr(backColor_));
    setPalette(p);
}

namespace {
template <class F>
void ChangeFont(QWidget* widget, F&& change) {
    QFont f = widget->font();
    change(f);
    widget->setFont(f);
}
}  // namespace

void StampTextBox::SetFontName(const QString& name) {
    ChangeFont(this, [&](QFont& f) { f.setFamily(name); });
}
void StampTextBox::SetFontBold(bool value) {
    ChangeFont(this, [&](QFont& f) { f.setBold(value); });
}
void StampTextBox::SetFontItalic(bool value) {
    ChangeFont(this, [&](QFont& f) { f.setItalic(value); });
}
void StampTextBox::SetFontSize(double points) {
    if (!(points > 0) || points > 2048) {
        Raise(vberr::kInvalidPropertyValue);
    }
    ChangeFont(this, [&](QFont& f) { f.setPointSizeF(points); });
}
void StampTextBox::SetFontStrikethru(bool value) {
    ChangeFont(this, [&](QFont& f) { f.setStrikeOut(value); });
}
void StampTextBox::SetFontUnderline(bool value) {
    ChangeFont(this, [&](QFont& f) { f.setUnderline(value); });
}

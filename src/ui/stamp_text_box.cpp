// SPDX-License-Identifier: MIT
#include "ui/stamp_text_box.h"

#include "core/canvas.h"
#include "util/vb_error.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

StampTextBox::StampTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    ApplyColors();
}

namespace {

// Characters that the document would turn into a block break, which always ends a
// line: a lone CR or LF (a Linux file name may hold one) and the paragraph and frame
// marks. Each is kept in the document as a stand-in that carries the original in this
// property, so the box shows it on its line and Text() gives it back.
constexpr int kKeptCharacterProperty = QTextFormat::UserProperty + 1;

bool BreaksBlock(QChar c) {
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator ||
           c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1;
}

// The control pictures for LF and CR; the replacement character for the rest.
QChar StandIn(QChar c) {
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
        return QChar(0x2400 + c.unicode());
    }
    return QChar::ReplacementCharacter;
}

}  // namespace

QString StampTextBox::Text() const {
    // Paragraphs of the document are the lines the user typed.
    QStringList lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        QString line;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QString text = fragment.text();
            const QVariant kept = fragment.charFormat().property(kKeptCharacterProperty);
            if (kept.isValid()) {
                const QChar original(static_cast<char16_t>(kept.toInt()));
                text.replace(StandIn(original), original);
            }
            line += text;
        }
        lines << line;
    }
    return lines.join(QStringLiteral("\r\n"));
}

void StampTextBox::SetText(const QString& text) {
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QTextDocument* doc = document();
    doc->clear();
    QTextCursor cursor(doc);
    // Every piece is inserted with a format of its own: text inserted without one takes
    // the format of the character before it.
    const QTextCharFormat plain;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            cursor.insertBlock();
        }
        const QString& line = lines.at(i);
        qsizetype start = 0;
        for (qsizetype j = 0; j < line.size(); ++j) {
            const QChar c = line.at(j);
            if (BreaksBlock(c)) {
                cursor.insertText(line.mid(start, j - start), plain);
                QTextCharFormat kept;
                kept.setProperty(kKeptCharacterProperty, int(c.unicode()));
                cursor.insertText(StandIn(c), kept);
                start = j + 1;
            }
        }
        cursor.insertText(line.mid(start), plain);
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

// SPDX-License-Identifier: MIT
#include "ui/qt_dialogs.h"

#include "core/canvas.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// Message texts keep the characters they were built with (CR LF, a lone CR); the
// desktop shows each of those as a line break.
QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

}  // namespace

QWidget* QtDialogs::owner() const {
    return owner_ != nullptr && owner_->isVisible() ? owner_ : nullptr;
}

Dialogs::Button QtDialogs::messageBox(const QString& text, const QString& title, Icon icon,
                                      Buttons buttons) {
    QMessageBox box(owner());
    box.setWindowTitle(title);
    box.setText(DisplayText(text));
    switch (icon) {
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case Icon::None:
            break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int result = box.exec();
    if (buttons == Buttons::YesNo) {
        return result == QMessageBox::Yes ? Button::Yes : Button::No;
    }
    return Button::Ok;
}

QString QtDialogs::inputBox(const QString& prompt, const QString& title,
                            const QString& defaultText) {
    bool ok = false;
    const QString answer = QInputDialog::getText(owner(), title, DisplayText(prompt),
                                                 QLineEdit::Normal, defaultText, &ok);
    return ok ? answer : QString();
}

QStringList QtDialogs::openFileNames(const QString& title, const QString& filter) {
    QFileDialog dialog(owner(), title);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(filter);
    // Qt's own dialog matches the patterns without regard to case, so *.jpg also
    // takes PHOTO.JPG; desktop-native dialogs may not.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

QString QtDialogs::browseForFolder(const QString& prompt, const QString& initialFolder) {
    return QFileDialog::getExistingDirectory(owner(), prompt, initialFolder,
                                             QFileDialog::ShowDirsOnly);
}

Dialogs::Font QtDialogs::chooseFont(const Font& initial) {
    QFont font(initial.name);
    font.setBold(initial.bold);
    font.setItalic(initial.italic);
    if (initial.size > 0) {
        font.setPointSizeF(initial.size);
    }
    font.setStrikeOut(initial.strikethru);
    font.setUnderline(initial.underline);
    // "Arial" is an alias the desktop maps to another family; the dialog lists only
    // real families, so it opens on the one that is actually drawn.
    const QString drawnFamily = QFontInfo(font).family();
    font.setFamily(drawnFamily);
    bool ok = false;
    const QFont chosen =
        QFontDialog::getFont(&ok, font, owner(), QString(), QFontDialog::ScalableFonts);
    if (!ok) {
        return initial;
    }
    Font result;
    // Keep the name the user's settings know when the family stayed the same.
    result.name = chosen.family() == drawnFamily ? initial.name : chosen.family();
    result.bold = chosen.bold();
    result.italic = chosen.italic();
    result.size = chosen.pointSizeF();
    result.strikethru = chosen.strikeOut();
    result.underline = chosen.underline();
    return result;
}

quint32 QtDialogs::chooseColor(quint32 initial) {
    const QColor chosen = QColorDialog::getColor(ColorFromBgr(initial), owner());
    return chosen.isValid() ? BgrFromColor(chosen) : initial;
}

void QtDialogs::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

// SPDX-License-Identifier: MIT
#include "ui/qt_dialogs.h"

#include "core/canvas.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

#include <algorithm>

namespace {

// Message texts keep the characters they were built with (CR LF, a lone CR); the
// desktop shows each of those as a line break.
QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

// Qt's own font dialog also offers strike-through and underline (its effects box) and a
// writing-system filter; the stamp font is chosen by face, style and size alone. The
// effects are disabled as well as hidden: a hidden check box still answers its Alt key.
void OfferFaceStyleAndSizeOnly(QFontDialog& dialog) {
    const auto boxes = dialog.findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly);
    int effectsHeight = 0;
    for (QGroupBox* box : boxes) {
        if (!box->findChildren<QCheckBox*>().isEmpty()) {
            effectsHeight = std::max(effectsHeight, box->sizeHint().height());
            box->setEnabled(false);
            box->hide();
        }
    }
    // The sample beside the effects shared their rows; alone it would shrink until its
    // text no longer shows.
    for (QGroupBox* box : boxes) {
        if (box->isVisibleTo(&dialog)) {
            box->setMinimumHeight(std::max(box->minimumHeight(), effectsHeight));
        }
    }
    const auto combos = dialog.findChildren<QComboBox*>(QString(), Qt::FindDirectChildrenOnly);
    for (QComboBox* combo : combos) {
        combo->setEnabled(false);
        combo->hide();
    }
    const auto labels = dialog.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    for (QLabel* label : labels) {
        if (qobject_cast<QComboBox*>(label->buddy()) != nullptr) {
            label->hide();
        }
    }
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
    // Qt's own dialog, not the desktop's, so that only face, style and size are offered.
    QFontDialog dialog(owner());
    dialog.setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::ScalableFonts);
    dialog.setCurrentFont(font);
    OfferFaceStyleAndSizeOnly(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return initial;
    }
    const QFont chosen = dialog.selectedFont();
    Font result;
    // Keep the name the user's settings know when the family stayed the same.
    result.name = chosen.family() == drawnFamily ? initial.name : chosen.family();
    result.bold = chosen.bold();
    result.italic = chosen.italic();
    result.size = chosen.pointSizeF();
    // Not offered, so never changed: what was stored comes back.
    result.strikethru = initial.strikethru;
    result.underline = initial.underline;
    return result;
}

quint32 QtDialogs::chooseColor(quint32 initial) {
    const QColor chosen = QColorDialog::getColor(ColorFromBgr(initial), owner());
    return chosen.isValid() ? BgrFromColor(chosen) : initial;
}

void QtDialogs::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

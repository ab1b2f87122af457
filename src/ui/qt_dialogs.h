// SPDX-License-Identifier: MIT
#pragma once

#include "util/dialogs.h"

class QWidget;

// The dialogs users see: Qt's message, input, file, folder, font and colour dialogs.
class QtDialogs : public Dialogs {
public:
    // Dialogs are centred over the owner while it is visible.
    void setOwner(QWidget* owner) { owner_ = owner; }

    Button messageBox(const QString& text, const QString& title, Icon icon,
                      Buttons buttons) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QStringList openFileNames(const QString& title, const QString& filter) override;
    QString browseForFolder(const QString& prompt, const QString& initialFolder) override;
    Font chooseFont(const Font& initial) override;
    quint32 chooseColor(quint32 initial) override;
    void openUrl(const QUrl& url) override;

private:
    QWidget* owner() const;

    QWidget* owner_ = nullptr;
};

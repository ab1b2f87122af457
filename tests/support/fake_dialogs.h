// SPDX-License-Identifier: MIT
#pragma once

#include "util/dialogs.h"

#include <QList>
#include <QQueue>
#include <QVariant>

#include <functional>

// Scripted dialogs for tests: every call is recorded, and each answer is taken from the
// queue of prepared answers for its kind (or a neutral default: OK, cancel, the value
// the dialog opened with).
class FakeDialogs : public Dialogs {
public:
    struct Call {
        QString kind;  // "message", "input", "open", "folder", "font", "color", "url"
        QString text;
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        QVariant argument;
    };

    Button messageBox(const QString& text, const QString& title, Icon icon,
                      Buttons buttons) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QStringList openFileNames(const QString& title, const QString& filter) override;
    QString browseForFolder(const QString& prompt, const QString& initialFolder) override;
    Font chooseFont(const Font& initial) override;
    quint32 chooseColor(quint32 initial) override;
    void openUrl(const QUrl& url) override;

    QQueue<Button> buttonAnswers;
    QQueue<QString> inputAnswers;  // a null QString cancels
    QQueue<QStringList> openAnswers;
    QQueue<QString> folderAnswers;
    QQueue<Font> fontAnswers;  // absent: cancelled
    QQueue<quint32> colorAnswers;
    // Runs when a message box shows, e.g. to act while a run waits on the box.
    std::function<void(const Call&)> onMessage;

    QList<Call> calls;
    QList<QUrl> openedUrls;
    Font lastFontShown;

    // Texts of every message box shown, in order.
    QStringList messages() const;
    // Message boxes titled "Application Error".
    QStringList errors() const;
    int count(const QString& kind) const;
    void clear();
};

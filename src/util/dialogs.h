// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Everything a handler shows to the user or hands to the desktop goes through this
// interface, so tests can script the answers and nothing ever waits for a person.
class Dialogs {
public:
    enum class Icon { None, Warning, Question, Information, Critical };
    enum class Buttons { Ok, YesNo };
    enum class Button { Ok, Yes, No };

    // A font as the font dialog shows and returns it.
    struct Font {
        QString name;
        bool bold = false;
        bool italic = false;
        double size = 9;
        bool strikethru = false;
        bool underline = false;
        bool operator==(const Font&) const = default;
    };

    virtual ~Dialogs() = default;

    // The title is shown as given; callers resolve an empty caption to the
    // application title (see MsgBox).
    virtual Button messageBox(const QString& text, const QString& title, Icon icon,
                              Buttons buttons) = 0;
    // Returns "" when cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
    // Full paths of the chosen files, in the dialog's order; empty when cancelled.
    virtual QStringList openFileNames(const QString& title, const QString& filter) = 0;
    // The chosen folder without a trailing separator (except "/"), "" when cancelled.
    virtual QString browseForFolder(const QString& prompt, const QString& initialFolder) = 0;
    // A cancelled dialog returns the font it opened with.
    virtual Font chooseFont(const Font& initial) = 0;
    // Colours are 0x00BBGGRR; a cancelled dialog returns the colour it opened with.
    virtual quint32 chooseColor(quint32 initial) = 0;
    // Opens a folder or a web address with the desktop's default program.
    virtual void openUrl(const QUrl& url) = 0;
};

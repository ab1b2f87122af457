// SPDX-License-Identifier: MIT
#include "support/fake_dialogs.h"

#include <algorithm>

Dialogs::Button FakeDialogs::messageBox(const QString& text, const QString& title, Icon icon,
                                        Buttons buttons) {
    Call call{QStringLiteral("message"), text, title, icon, buttons, {}};
    calls << call;
    if (onMessage) {
        onMessage(call);
    }
    const Button neutral = buttons == Buttons::YesNo ? Button::No : Button::Ok;
    return buttonAnswers.isEmpty() ? neutral : buttonAnswers.dequeue();
}

QString FakeDialogs::inputBox(const QString& prompt, const QString& title,
                              const QString& defaultText) {
    calls << Call{QStringLiteral("input"), prompt, title, Icon::None, Buttons::Ok, defaultText};
    return inputAnswers.isEmpty() ? QString() : inputAnswers.dequeue();
}

QStringList FakeDialogs::openFileNames(const QString& title, const QString& filter) {
    calls << Call{QStringLiteral("open"), filter, title, Icon::None, Buttons::Ok, {}};
    return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
}

QString FakeDialogs::browseForFolder(const QString& prompt, const QString& initialFolder) {
    calls << Call{
        QStringLiteral("folder"), prompt, QString(), Icon::None, Buttons::Ok, initialFolder};
    return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
}

Dialogs::Font FakeDialogs::chooseFont(const Font& initial) {
    calls << Call{
        QStringLiteral("font"),           initial.name, QString(), Icon::None, Buttons::Ok,
        QVariant::fromValue(initial.size)};
    lastFontShown = initial;
    return fontAnswers.isEmpty() ? initial : fontAnswers.dequeue();
}

quint32 FakeDialogs::chooseColor(quint32 initial) {
    calls << Call{QStringLiteral("color"),     QString(), QString(), Icon::None, Buttons::Ok,
                  QVariant::fromValue(initial)};
    return colorAnswers.isEmpty() ? initial : colorAnswers.dequeue();
}

void FakeDialogs::openUrl(const QUrl& url) {
    calls << Call{QStringLiteral("url"), url.toString(), QString(), Icon::None, Buttons::Ok, url};
    openedUrls << url;
}

QStringList FakeDialogs::messages() const {
    QStringList texts;
    for (const Call& call : calls) {
        if (call.kind == QLatin1String("message")) {
            texts << call.text;
        }
    }
    return texts;
}

QStringList FakeDialogs::errors() const {
    QStringList texts;
    for (const Call& call : calls) {
        if (call.kind == QLatin1String("message") &&
            call.title == QLatin1String("Application Error")) {
            texts << call.text;
        }
    }
    return texts;
}

int FakeDialogs::count(const QString& kind) const {
    return int(std::count_if(calls.begin(), calls.end(),
                             [&](const Call& call) { return call.kind == kind; }));
}

void FakeDialogs::clear() {
    calls.clear();
    openedUrls.clear();
}

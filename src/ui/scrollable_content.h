// SPDX-License-Identifier: MIT
#pragma once

#include <QScrollArea>

class QKeyEvent;

// The client size of a window that shows fixed-size content of `content` pixels in at
// most `room`: the content's own size when it fits; otherwise as much as fits, plus
// the scroll bars (`barExtent`: the vertical bar's width, the horizontal bar's height)
// that then appear, each of which may take away the room that made the other needless.
QSize ScrolledWindowSize(const QSize& content, const QSize& room, const QSize& barExtent);

// A window's fixed-size content, seen through a scroll area that fills the window.
// At the content's own size the area shows all of it and draws nothing of its own, so
// the window looks as it was designed; on a screen too small for it the window can be
// made smaller, and the area then scrolls to whichever control takes the keyboard focus.
// The area never takes the focus and leaves keys to the window, so the keyboard works
// as it always did.
class ScrollableContent : public QScrollArea {
    Q_OBJECT

public:
    ScrollableContent(QWidget& window, const QSize& contentSize);

    // The parent of every control of the window.
    QWidget* Content() const { return widget(); }

    // Gives the window the largest client size up to the content's own that fits into
    // `room`, with scroll bars where the content no longer fits.
    void FitWindow(const QSize& room);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowWhole(const QWidget* widget);
    void ShowFocused(QWidget* focused);

    QWidget& window_;
};

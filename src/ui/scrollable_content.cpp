// SPDX-License-Identifier: MIT
#include "ui/scrollable_content.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

// Space kept between a control that takes the focus and the edge of the view: the
// window's own margin around its controls.
constexpr int kFocusMargin = 8;

}  // namespace

QSize ScrolledWindowSize(const QSize& content, const QSize& room, const QSize& barExtent) {
    bool across = content.width() > room.width();
    bool down = content.height() > room.height();
    // A horizontal bar takes height, a vertical one width: either may make the other
    // necessary. Once both are needed nothing changes any more.
    if (across && !down) {
        down = content.height() + barExtent.height() > room.height();
    }
    if (down && !across) {
        across = content.width() + barExtent.width() > room.width();
    }
    return {std::min(content.width() + (down ? barExtent.width() : 0), room.width()),
            std::min(content.height() + (across ? barExtent.height() : 0), room.height())};
}

ScrollableContent::ScrollableContent(QWidget& window, const QSize& contentSize)
    : QScrollArea(&window), window_(window) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(false);
    auto* content = new QWidget;
    content->setFixedSize(contentSize);
    setWidget(content);
    // The window paints the background behind everything, as it did before it held a
    // scroll area; the area and its content add no colour of their own.
    content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setGeometry(window.rect());
    window.installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { ShowFocused(now); });
}

void ScrollableContent::FitWindow(const QSize& room) {
    const QSize bars(verticalScrollBar()->sizeHint().width(),
                     horizontalScrollBar()->sizeHint().height());
    window_.setFixedSize(ScrolledWindowSize(Content()->size(), room, bars));
}

bool ScrollableContent::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Resize) {
        setGeometry(window_.rect());
    }
    return QScrollArea::eventFilter(watched, event);
}

void ScrollableContent::keyPressEvent(QKeyEvent* event) {
    // Arrow and page keys that a control leaves alone go on to the window as before,
    // instead of scrolling the view away from the focused control.
    event->ignore();
}

void ScrollableContent::ShowWhole(const QWidget* widget) {
    const QRect area(widget->mapTo(Content(), QPoint(0, 0)), widget->size());
    ensureVisible(area.center().x(), area.center().y(), area.width() / 2 + kFocusMargin,
                  area.height() / 2 + kFocusMargin);
}

void ScrollableContent::ShowFocused(QWidget* focused) {
    if (focused == nullptr || !Content()->isAncestorOf(focused)) {
        return;
    }
    // A control inside a frame is shown with its frame, whose caption names it, and
    // every control as a whole where it fits; what counts in the end is the control,
    // and in a text box its text cursor, which Qt's own scrolling looks after.
    QWidget* outer = focused;
    while (outer->parentWidget() != Content()) {
        outer = outer->parentWidget();
    }
    if (outer != focused) {
        ShowWhole(outer);
    }
    ShowWhole(focused);
    ensureWidgetVisible(focused, kFocusMargin, kFocusMargin);
}

// SPDX-License-Identifier: MIT
#include "ui/screen_placement.h"

#include "ui/scrollable_content.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {

ScrollableContent* ScrollerOf(QWidget& window) {
    return window.findChild<ScrollableContent*>(QString(), Qt::FindDirectChildrenOnly);
}

// The room for the client area: the available area, rounded down to what its real
// pixels hold, less the window manager's frame, which is known only once the window is
// shown (until then the frame is the client).
QSize ClientRoom(const QWidget& window, const QRect& available) {
    return FittingSize(available.size(), window.devicePixelRatio()) -
           (window.frameGeometry().size() - window.size());
}

// The largest logical length that stays within every screen length in pixels that Qt would
// report as `logical` at `ratio`.
int FittingLength(int logical, qreal ratio) {
    // A whisker below each bound keeps a product that is exact in decimal (1365.75) from
    // landing above it in binary.
    constexpr qreal kWhisker = 1e-9;
    if (logical <= 0 || ratio <= 0) {
        return logical;
    }
    // Qt rounds pixels to logical lengths to the nearest: the fewest pixels that read as
    // `logical` are those from (logical - 0.5) * ratio up.
    const qreal fewestPixels = std::ceil((logical - 0.5) * ratio - kWhisker);
    // A logical length is drawn as its product rounded to the nearest pixel.
    return std::max(0, int(std::ceil((fewestPixels + 0.5) / ratio - kWhisker)) - 1);
}

// Keeps a window that shows its content through a ScrollableContent within the
// available area of its screen after it opened there.
class ScreenKeeper : public QObject {
public:
    static constexpr const char* kName = "velloran_screen_keeper";

    ScreenKeeper(QWidget& window, ScrollableContent& scroller)
        : QObject(&window), window_(window), scroller_(scroller) {
        setObjectName(QString::fromLatin1(kName));
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The frame of a window manager arrives with a move; a new screen once the
        // window has a native window to be on one.
        if (watched == &window_ &&
            (event->type() == QEvent::Show || event->type() == QEvent::Move)) {
            Follow(window_.windowHandle());
            Refit();
        }
        return false;
    }

private:
    void Follow(QWindow* native) {
        if (native == nullptr || native == followed_) {
            return;
        }
        followed_ = native;
        connect(native, &QWindow::screenChanged, this, [this](QScreen* screen) {
            Watch(screen);
            Refit();
        });
        Watch(native->screen());
    }

    void Watch(QScreen* screen) {
        disconnect(areaChanged_);
        if (screen != nullptr) {
            areaChanged_ =
                connect(screen, &QScreen::availableGeometryChanged, this, [this] { Refit(); });
        }
    }

    // Grows or shrinks the window to what the area now allows and moves it back inside
    // when it sticks out; a window that already has that size stays where it is, so
    // the user can still move it freely.
    void Refit() {
        const QScreen* screen = window_.screen();
        if (screen == nullptr) {
            return;
        }
        const QRect available = screen->availableGeometry();
        const QSize before = window_.size();
        scroller_.FitWindow(ClientRoom(window_, available));
        if (window_.size() == before) {
            return;
        }
        const QRect frame = window_.frameGeometry();
        if (!available.contains(frame)) {
            const QPoint inside(
                std::clamp(frame.left(), available.left(),
                           std::max(available.left(), available.right() + 1 - frame.width())),
                std::clamp(frame.top(), available.top(),
                           std::max(available.top(), available.bottom() + 1 - frame.height())));
            window_.move(inside);
        }
    }

    QWidget& window_;
    ScrollableContent& scroller_;
    QPointer<QWindow> followed_;
    QMetaObject::Connection areaChanged_;
};

}  // namespace

QSize FittingSize(const QSize& logical, qreal ratio) {
    return {FittingLength(logical.width(), ratio), FittingLength(logical.height(), ratio)};
}

QPoint OnScreenPosition(const QSize& frame, const QRect& available) {
    if (frame.width() > available.width() || frame.height() > available.height()) {
        return available.topLeft();
    }
    return available.topLeft() + QPoint((available.width() - frame.width()) / 2,
                                        (available.height() - frame.height()) / 2);
}

void PlaceInArea(QWidget& window, const QRect& available) {
    if (ScrollableContent* scroller = ScrollerOf(window)) {
        scroller->FitWindow(ClientRoom(window, available));
    }
    window.move(OnScreenPosition(window.frameGeometry().size(), available));
}

void PlaceOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    PlaceInArea(window, screen->availableGeometry());
    ScrollableContent* scroller = ScrollerOf(window);
    if (scroller != nullptr && window.findChild<QObject*>(QString::fromLatin1(ScreenKeeper::kName),
                                                          Qt::FindDirectChildrenOnly) == nullptr) {
        new ScreenKeeper(window, *scroller);
    }
}

// SPDX-License-Identifier: MIT
#include "ui/accessible_widgets.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QProgressBar>

namespace {

// The text the bar draws. The word joiners that keep a "%" in a file name from being
// read as a placeholder are invisible, and a screen reader has no use for them either.
QString ShownText(const QProgressBar& bar) {
    return bar.text().remove(QChar(0x2060));
}

// QProgressBar has no signal for a new text, and its text only reaches the screen by
// being painted: a paint with a text other than the last one tells listeners that the
// bar now says something else.
class ShownTextWatch : public QObject {
public:
    explicit ShownTextWatch(QProgressBar* bar) : QObject(bar), bar_(bar), last_(ShownText(*bar)) {
        bar->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == bar_ && event->type() == QEvent::Paint) {
            const QString shown = ShownText(*bar_);
            if (shown != last_) {
                last_ = shown;
                QAccessibleEvent changed(bar_, QAccessible::DescriptionChanged);
                QAccessible::updateAccessibility(&changed);
            }
        }
        return false;
    }

private:
    QProgressBar* bar_;
    QString last_;
};

// A progress bar whose value text is the text it shows. Qt 6.4 carries no value text
// over AT-SPI, so the shown text is also the description, which every screen reader
// can read; an explicit accessible description still takes precedence.
class ProgressBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressBarAccessible(QProgressBar* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar) {
        new ShownTextWatch(bar);
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value ||
            (type == QAccessible::Description && bar()->accessibleDescription().isEmpty())) {
            return ShownText(*bar());
        }
        return QAccessibleWidget::text(type);
    }

    QVariant currentValue() const override { return bar()->value(); }
    // The bar shows the progress of a run; nobody sets it from outside.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return bar()->minimum(); }
    QVariant minimumStepSize() const override { return 0; }

private:
    QProgressBar* bar() const { return static_cast<QProgressBar*>(object()); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    if (className == QLatin1String("QProgressBar")) {
        return new ProgressBarAccessible(static_cast<QProgressBar*>(object));
    }
    // The swatch is a picture of a colour, not a window frame; its name says which.
    if (className == QLatin1String("ColorSwatch")) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    QAccessible::installFactory(&Factory);
}

// SPDX-License-Identifier: MIT
#include "ui/form1.h"

#include "ui/file_list_view.h"
#include "ui/color_swatch.h"
#include "ui/form2.h"
#include "ui/stamp_text_box.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

Form1::Form1(Dialogs& dialogs_, Environment env_, QWidget* parent)
    : QWidget(parent), dialogs(dialogs_), env(std::move(env_)), store(env.settingsFile) {
    BuildControls();
    ConnectEvents();
}

Form1::~Form1() {
    delete preview.data();
}

void Form1::SetMousePointer(int value) {
    mousePointer_ = value;
    switch (value) {
        case kPointerBusy:
            setCursor(Qt::WaitCursor);
            break;
        case kPointerCustom:
            setCursor(hasCustomCursor_ ? customCursor_ : QCursor(Qt::ArrowCursor));
            break;
        default:
            unsetCursor();
            break;
    }
}

void Form1::SetCustomCursor(const QCursor& cursor) {
    customCursor_ = cursor;
    hasCustomCursor_ = true;
}

void Form1::ConnectEvents() {
    connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });
    connect(Combo2, &QComboBox::activated, this, [this] { Combo2_Click(); });
    // A release after dragging the thumb and every keyboard or page step are the
    // slider's clicks; a program-made value change is not.
    connect(Slider1, &QSlider::actionTriggered, this, [this](int) {
        QMetaObject::invokeMethod(
            this, [this] { Slider1_Click(); }, Qt::QueuedConnection);
    });
    connect(Slider1, &QSlider::sliderReleased, this, [this] { Slider1_Click(); });
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });

    connect(ListView1, &FileListView::keyDown, this, [this](int key) { ListView1_KeyDown(key); });
    connect(ListView1, &FileListView::dblClick, this, [this] { ListView1_DblClick(); });
    connect(ListView1, &FileListView::itemClick, this, [this] { ListView1_ItemClick(); });
    connect(ListView1, &FileListView::mouseDown, this, [this] { ListView1_MouseDown(); });
    connect(ListView1, &FileListView::mouseUp, this, [this] { ListView1_MouseUp(); });
    connect(ListView1, &FileListView::mouseMove, this,
            [this](const QPoint& pos, const QPoint& screen) { ListView1_MouseMove(pos, screen); });
    connect(ListView1, &FileListView::filesDropped, this,
            [this](const QStringList& paths) { ListView1_OLEDragDrop(paths); });

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
    connect(PushButton9, &QPushButton::clicked, this, [this] { PushButton9_Click(); });
    connect(PushButton10, &QPushButton::clicked, this, [this] { PushButton10_Click(); });
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (qobject_cast<QPushButton*>(watched) != nullptr) {
            HoverButton();
        } else {
            HoverDefault();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    if (env.endProgram) {
        env.endProgram();
    }
}

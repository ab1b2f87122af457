// SPDX-License-Identifier: MIT
#include "ui/form2.h"

#include "ui/return_presses_button.h"
#include "ui/cursor_file.h"
#include "util/error_trap.h"
#include "util/paths.h"
#include "ui/window_colors.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>

Form2::Form2(QWidget* mainWindow, const QString& programFolder, Dialogs& dialogs)
    : QWidget(nullptr), mainWindow_(mainWindow), programFolder_(programFolder), dialogs_(dialogs) {
    BuildControls();
}

void Form2::BuildControls() {
    setWindowTitle(QStringLiteral("Form2"));
    setFixedSize(536, 431);

    PushButton1 = new QPushButton(QStringLiteral("< Back"), this);
    PushButton1->setGeometry(8, 8, 520, 27);

    PicScroll = new QWidget(this);
    PicScroll->setGeometry(8, 42, 520, 385);

    PicOrg = new QLabel(PicScroll);
    PicOrg->setGeometry(0, 0, kPictureWidth, kPictureHeight);
    PicOrg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PicOrg->setAccessibleName(QStringLiteral("Stamped preview of the first image"));

    HscrPic = new QScrollBar(Qt::Horizontal, PicScroll);
    VscrPic = new QScrollBar(Qt::Vertical, PicScroll);
    HscrPic->hide();
    VscrPic->hide();

    LetReturnPressButtons(*this);
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(HscrPic, &QScrollBar::valueChanged, this, [this](int v) { HscrPic_Change(v); });
    connect(VscrPic, &QScrollBar::valueChanged, this, [this](int v) { VscrPic_Change(v); });
}

void Form2::ShowPicture(const QImage& composed) {
    Form_Load(composed);
    show();
}

void Form2::Form_Load(const QImage& composed) {
    ErrorTrap trap(dialogs_, QStringLiteral("Form2.Form_Load"));
    const QString handCursor = programFolder_ + QStringLiteral("/HAND-M.CUR");

    trap.Do(102, [&] {
        setWindowTitle(QStringLiteral("Velloran"));
        setWindowIcon(QIcon(QStringLiteral(":/velloran/velloran.png")));
    });
    trap.Do(104, [&] { ResetFormColors(*this); });
    if (trap.Test(106, [&] { return FileExists(handCursor); })) {
        // Only the Back button shows the hand; the rest of the window keeps the arrow.
        trap.Do(108, [&] {
            PushButton1->setCursor(LoadCursorFile(handCursor));
            hasCustomCursor_ = true;
        });
    }
    trap.Do(110, [&] { picture_ = composed; });
    trap.Do(112, [&] { FitPicture(); });
}

void Form2::FitPicture() {
    // Sizing the box to the picture and back lets pending events run, as the window
    // always did before it squeezed the picture.
    if (!picture_.isNull()) {
        PicOrg->resize(picture_.size());
    }
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    PicOrg->setGeometry(0, 0, kPictureWidth, kPictureHeight);
    if (picture_.isNull()) {
        // A canvas that never got a picture shows as an empty box, as a picture box
        // without a picture does.
        PicOrg->clear();
    } else {
        // The whole picture, stretched or squeezed to the box; the aspect is not kept.
        const QImage fitted = picture_.scaled(PicOrg->width(), PicOrg->height(),
                                              Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        PicOrg->setPixmap(QPixmap::fromImage(fitted));
    }
    SetupScrollBars();
}

void Form2::SetupScrollBars() {
    const int pictureWidth = PicOrg->width();
    const int pictureHeight = PicOrg->height();
    const int viewWidth = PicScroll->width();
    const int viewHeight = PicScroll->height();

    HscrPic->setVisible(pictureWidth > viewWidth);
    VscrPic->setVisible(pictureHeight > viewHeight);

    const int across = pictureWidth + kScrollBarThickness < viewWidth - kScrollBarThickness
                           ? pictureWidth
                           : viewWidth - kScrollBarThickness;
    const int down = pictureHeight + kScrollBarThickness < viewHeight - kScrollBarThickness
                         ? pictureHeight
                         : viewHeight - kScrollBarThickness;
    HscrPic->setGeometry(0, down, across, kScrollBarThickness);
    VscrPic->setGeometry(across, 0, kScrollBarThickness, down);

    HscrPic->setRange(0, qMax(0, pictureWidth - HscrPic->width()));
    VscrPic->setRange(0, qMax(0, pictureHeight - VscrPic->height()));
    HscrPic->setPageStep(pictureWidth);
    VscrPic->setPageStep(pictureHeight);
    HscrPic->setValue(0);
    VscrPic->setValue(0);
}

void Form2::HscrPic_Change(int value) {
    PicOrg->move(-value, PicOrg->y());
}

void Form2::VscrPic_Change(int value) {
    PicOrg->move(PicOrg->x(), -value);
}

void Form2::PushButton1_Click() {
    ErrorTrap trap(dialogs_, QStringLiteral("Form2.PushButton1_Click"));
    trap.Do(100, [&] {
        if (mainWindow_ != nullptr) {
            mainWindow_->show();
        }
    });
    trap.Do(102, [&] { hide(); });
}

void Form2::closeEvent(QCloseEvent* event) {
    ErrorTrap trap(dialogs_, QStringLiteral("Form2.Form_QueryUnload"));
    trap.Do(100, [&] { PushButton1_Click(); });
    event->accept();
}

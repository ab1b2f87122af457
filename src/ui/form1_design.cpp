// SPDX-License-Identifier: MIT
// The main window's controls as designed: positions and sizes in twips (15 per pixel),
// captions, fonts and tab order.
#include "ui/accessible_widgets.h"
#include "ui/file_list_view.h"
#include "ui/color_swatch.h"
#include "ui/form1.h"
#include "ui/return_presses_button.h"
#include "ui/scrollable_content.h"
#include "ui/stamp_text_box.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

namespace {

QRect Twips(int left, int top, int width, int height) {
    return {left / Form1::kTwips, top / Form1::kTwips, width / Form1::kTwips,
            height / Form1::kTwips};
}

QFont Arial(double points, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace

void Form1::BuildControls() {
    setWindowTitle(QStringLiteral("Form1"));
    // A fixed single border: no maximise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    const QSize clientSize(15960 / kTwips, 6645 / kTwips);
    setFixedSize(clientSize);
    // The window's white background comes with black captions: under a dark desktop
    // scheme the captions would otherwise be drawn in its light text colour.
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    background.setColor(QPalette::WindowText, Qt::black);
    setPalette(background);
    setAutoFillBackground(true);
    setFont(Arial(9, true));
    InstallAccessibleInterfaces();

    // Every control sits on a content area of the window's full size, which a window
    // squeezed onto a small screen scrolls (screen_placement.h).
    QWidget* client = (new ScrollableContent(*this, clientSize))->Content();

    const QFont buttonFont = Arial(11.25, true);
    auto makeButton = [&](QWidget* parent, const QString& caption, QRect geometry) {
        auto* button = new QPushButton(caption, parent);
        button->setGeometry(geometry);
        button->setFont(buttonFont);
        // The window behind a button would otherwise see the same move and put the
        // arrow back in place of the hand.
        button->setAttribute(Qt::WA_NoMousePropagation);
        return button;
    };
    auto makeFrame = [&](const QString& caption, QRect geometry) {
        auto* frame = new QGroupBox(caption, client);
        frame->setGeometry(geometry);
        return frame;
    };

    ListView1 = new FileListView(client);
    ListView1->setGeometry(Twips(120, 120, 7800, 1815));
    ListView1->setFont(Arial(9, true));
    ListView1->setToolTip(QStringLiteral(
        "Drag and drop files here. Double-click item to remove it. Move | line to right and "
        "out of window to reveal full names."));
    ListView1->setAccessibleName(QStringLiteral("Image files"));
    ListView1->setAccessibleDescription(ListView1->toolTip());
    ListView1->setHeaderLabels(QStringList{});
    ListView1->setHeaderHidden(false);

    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setGeometry(Twips(120, 6135, 7800, 405));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFormat(QStringLiteral("Progress Bar"));
    // Its text reaches assistive technology as the value text (accessible_widgets.h).
    ProgressBar1->setAccessibleName(QStringLiteral("Stamping progress"));

    Frame3 = makeFrame(QStringLiteral("Font Color"), Twips(120, 3840, 3840, 825));
    Frame2 = makeFrame(QStringLiteral("Position of Stamp"), Twips(4080, 2990, 3840, 825));
    Combo2 = new QComboBox(Frame2);
    Combo2->setGeometry(Twips(180, 300, 3480, 345));
    Combo2->setEditable(false);

    Frame1 = makeFrame(QStringLiteral("JPG Image Quality"), Twips(120, 2990, 3840, 825));
    Slider1 = new QSlider(Qt::Horizontal, Frame1);
    Slider1->setGeometry(Twips(120, 240, 2985, 495));
    Slider1->setRange(0, 100);
    Slider1->setValue(85);
    Slider1->setPageStep(5);
    Slider1->setSingleStep(1);
    Slider1->setTickPosition(QSlider::TicksBelow);
    Slider1->setTickInterval(5);

    PushButton1 =
        makeButton(client, QStringLiteral("Add Image File(s)"), Twips(120, 2030, 3840, 405));
    PushButton3 = makeButton(client, QStringLiteral("Add All File(s) In Folder"),
                             Twips(4080, 2030, 3840, 405));
    PushButton7 = makeButton(client, QStringLiteral("Clear List"), Twips(120, 2540, 3840, 405));
    PushButton8 = makeButton(client, QStringLiteral("Load Sample/Example Files"),
                             Twips(4080, 2540, 3840, 405));
    PushButton2 = makeButton(client, QStringLiteral("Start Stamping"), Twips(120, 5625, 7800, 405));

    Frame4 = makeFrame(QStringLiteral("Save Results To This Folder"), Twips(120, 4710, 7800, 795));
    Text1 = new QLineEdit(Frame4);
    Text1->setGeometry(Twips(240, 300, 6660, 345));
    PushButton4 = makeButton(Frame4, QStringLiteral("..."), Twips(6960, 300, 600, 345));
    PushButton4->setAccessibleName(QStringLiteral("Choose the output folder"));

    Frame6 = makeFrame(QStringLiteral("Stamp Text / Time / Date / Filename"),
                       Twips(4080, 3840, 3840, 825));
    Combo1 = new QComboBox(Frame6);
    Combo1->setGeometry(Twips(180, 300, 3480, 345));
    Combo1->setEditable(false);

    PushButton6 = makeButton(client, QStringLiteral("Change Font"), Twips(8040, 6135, 7800, 405));
    // Below the client area: never seen, reached only with the keyboard.
    PushButton5 =
        makeButton(client, QStringLiteral("Preview Stamp (Looks Ugly and Wrong Position)"),
                   Twips(120, 9090, 3840, 405));

    Text4 = new StampTextBox(client);
    Text4->setGeometry(Twips(8040, 105, 7800, 5925));
    Text4->SetText(QStringLiteral("AAaaBBbbCCcc\r\n"));
    // Tab moves on to the next control, as in every other box of the window.
    Text4->setTabChangesFocus(true);
    // Without a name a screen reader would only read out whatever text it holds.
    Text4->setAccessibleName(QStringLiteral("Stamp text"));

    PushButton9 = makeButton(Frame1, QStringLiteral("?"), Twips(3180, 270, 480, 405));
    PushButton9->setAccessibleName(QStringLiteral("About the JPG image quality"));
    Picture2 = new ColorSwatch(Frame3);
    Picture2->setGeometry(Twips(180, 270, 1770, 420));
    PushButton10 = makeButton(Frame3, QStringLiteral("Change Color"), Twips(2040, 270, 1620, 405));

    // The canvas sits outside the client area, 495 twips square until the load.
    Picture1.SetWidth(495);
    Picture1.SetHeight(495);

    const QList<QWidget*> tabOrder = {
        ListView1,   ProgressBar1, Combo2,      Slider1,     PushButton1, PushButton3,
        PushButton7, PushButton8,  PushButton2, Text1,       PushButton4, Combo1,
        PushButton6, PushButton5,  Text4,       PushButton9, Picture2,    PushButton10};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i) {
        setTabOrder(tabOrder.at(i), tabOrder.at(i + 1));
    }
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    Picture2->setFocusPolicy(Qt::NoFocus);

    LetReturnPressButtons(*this);

    // Pointer feedback: buttons show the hand, the window (whose background the mouse
    // meets on the content area), frames, text boxes and the slider the arrow.
    const QList<QWidget*> hoverTargets = {this,        client,      Frame1,
                                          Frame2,      Frame3,      Frame4,
                                          Frame6,      Text1,       Text4->viewport(),
                                          Slider1,     PushButton1, PushButton2,
                                          PushButton3, PushButton4, PushButton5,
                                          PushButton6, PushButton7, PushButton8,
                                          PushButton9, PushButton10};
    for (QWidget* target : hoverTargets) {
        target->setMouseTracking(true);
        target->installEventFilter(this);
    }
}

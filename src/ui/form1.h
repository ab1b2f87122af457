// SPDX-License-Identifier: MIT
#pragma once

#include "core/canvas.h"
#include "settings/settings_store.h"
#include "util/environment.h"

#include <QCursor>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWidget>

class ColorSwatch;
class DecodeAhead;
class Dialogs;
class ErrorTrap;
class FileListView;
class Form2;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class StampTextBox;

// The main window: the file list, every stamping choice and the buttons that start each
// operation. The controls are the live home of the stamping settings; handlers read
// them when they need a value (StampSettingsFromWindow for the engine). Handler bodies
// are thin adapters in ui/ over the engine's steps (engine/); this class declares them
// and wires events to them.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // Mouse pointer values of the window.
    static constexpr int kPointerDefault = 0;
    static constexpr int kPointerBusy = 11;
    static constexpr int kPointerCustom = 99;

    // Twips per pixel for the window's geometry.
    static constexpr int kTwips = 15;

    Form1(Dialogs& dialogs, Environment env, QWidget* parent = nullptr);
    ~Form1() override;

    // ---- Controls (tab order) ----
    FileListView* ListView1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QComboBox* Combo2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QSlider* Slider1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton5 = nullptr;
    StampTextBox* Text4 = nullptr;
    QPushButton* PushButton9 = nullptr;
    ColorSwatch* Picture2 = nullptr;
    QPushButton* PushButton10 = nullptr;
    // The hidden drawing canvas.
    Canvas Picture1;

    // ---- Services ----
    Dialogs& dialogs;
    Environment env;
    SettingsStore store;

    // ---- Mouse pointer ----
    int MousePointer() const { return mousePointer_; }
    void SetMousePointer(int value);
    bool IsBusy() const { return mousePointer_ == kPointerBusy; }
    // The hand cursor loaded from "HAND-M.CUR"; the arrow when there is none.
    void SetCustomCursor(const QCursor& cursor);
    bool HasCustomCursor() const { return hasCustomCursor_; }

    // ---- Load ----
    void Form_Load();
    void RestoreSettings(ErrorTrap& trap);

    // ---- Stamp text ----
    void StampCombo();
    void StampFilename(int n);

    // ---- Settings write-back ----
    void Combo1_Click();
    void Combo2_Click();
    void Slider1_Click();
    void Text1_Change();

    // ---- Pointer feedback ----
    void HoverDefault();
    void HoverButton();

    // ---- File list gestures ----
    void ListView1_KeyDown(int keyCode);
    void ListView1_DblClick();
    void ListView1_ItemClick();
    void ListView1_MouseDown();
    void ListView1_MouseUp();
    void ListView1_MouseMove(const QPoint& viewportPos, const QPoint& screenPos);
    void PushButton7_Click();  // Clear List

    // ---- Filling the list ----
    void PushButton1_Click();  // Add Image File(s)
    void PushButton3_Click();  // Add All File(s) In Folder
    void PushButton8_Click();  // Load Sample/Example Files
    void ListView1_OLEDragDrop(const QStringList& paths);

    // ---- Runs ----
    void PushButton2_Click();  // Start Stamping
    void PushButton5_Click();  // Preview
    // Copies the stamp-text box's font and colour onto the canvas; seven statements
    // labelled firstLabel, firstLabel + 2, ...
    void CopyStampFontToCanvas(ErrorTrap& trap, int firstLabel);
    // One entry of a batch run, under the run's error trap: the window's part (pointer,
    // progress bar, stamp text) and then the engine's road of the entry (EntryRoad), with
    // the pictures the run's workers decoded ahead.
    void StampEntry(ErrorTrap& trap, int i, DecodeAhead& ahead);

    // ---- Option dialogs ----
    void PushButton4_Click();   // output folder
    void PushButton6_Click();   // font
    void PushButton10_Click();  // colour
    void PushButton9_Click();   // JPEG quality help

    // ---- Run state ----
    bool busy = false;  // a batch run is in progress
    bool MouseIsDown = false;
    QPersistentModelIndex DragItem;
    QString LastFolderDot;
    QPointer<Form2> preview;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void ConnectEvents();

    int mousePointer_ = kPointerDefault;
    bool hasCustomCursor_ = false;
    QCursor customCursor_;
};

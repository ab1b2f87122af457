// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

class Dialogs;
class QLabel;
class QPushButton;
class QScrollBar;

// The preview window: shows the stamped first image, squeezed into a fixed
// 487 x 380 pixel box, in place of the main window until "< Back" or a close request
// brings the main window back. Each showing takes the image it is given afresh.
class Form2 : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPictureWidth = 487;
    static constexpr int kPictureHeight = 380;
    static constexpr int kScrollBarThickness = 12;

    Form2(QWidget* mainWindow, const QString& programFolder, Dialogs& dialogs);

    // Runs the load step with the canvas's composed image and shows the window.
    void ShowPicture(const QImage& composed);

    // ---- Controls ----
    QPushButton* PushButton1 = nullptr;  // "< Back"
    QWidget* PicScroll = nullptr;        // the viewport
    QLabel* PicOrg = nullptr;            // the picture inside the viewport
    QScrollBar* HscrPic = nullptr;
    QScrollBar* VscrPic = nullptr;

    // ---- Handlers ----
    // Takes the composed image as the picture and fits it into the box.
    void Form_Load(const QImage& composed);
    void PushButton1_Click();
    void HscrPic_Change(int value);
    void VscrPic_Change(int value);

    bool HasCustomCursor() const { return hasCustomCursor_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void FitPicture();
    void SetupScrollBars();

    QPointer<QWidget> mainWindow_;
    QString programFolder_;
    Dialogs& dialogs_;
    QImage picture_;
    bool hasCustomCursor_ = false;
};

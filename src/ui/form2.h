#pragma once

#include <QWidget>

// The preview window: shows the stamped first image in place of the main window.
class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(QWidget* parent = nullptr);
};

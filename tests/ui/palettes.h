#pragma once

#include <QPalette>

// Desktop colour schemes a user may run the program under.

// A dark scheme: light text on dark windows, buttons and fields.
inline QPalette DarkPalette() {
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2b);
    const QColor text(0xee, 0xee, 0xee);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        p.setColor(group, QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, QColor(0x3c, 0x3c, 0x3c));
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
        p.setColor(group, QPalette::HighlightedText, Qt::black);
        p.setColor(group, QPalette::ToolTipBase, window);
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::PlaceholderText, QColor(0x99, 0x99, 0x99));
        p.setColor(group, QPalette::Light, QColor(0x50, 0x50, 0x50));
        p.setColor(group, QPalette::Midlight, QColor(0x44, 0x44, 0x44));
        p.setColor(group, QPalette::Mid, QColor(0x30, 0x30, 0x30));
        p.setColor(group, QPalette::Dark, QColor(0x20, 0x20, 0x20));
        p.setColor(group, QPalette::Shadow, Qt::black);
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::Window, window);
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(0x3c, 0x3c, 0x3c));
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    return p;
}

// A high-contrast scheme: white and yellow on black.
inline QPalette HighContrastPalette() {
    QPalette p(Qt::white, Qt::black);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, Qt::black);
        p.setColor(group, QPalette::WindowText, Qt::white);
        p.setColor(group, QPalette::Base, Qt::black);
        p.setColor(group, QPalette::Text, Qt::white);
        p.setColor(group, QPalette::Button, Qt::black);
        p.setColor(group, QPalette::ButtonText, Qt::yellow);
        p.setColor(group, QPalette::Highlight, Qt::cyan);
        p.setColor(group, QPalette::HighlightedText, Qt::black);
    }
    return p;
}

// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPainter>

#include <cmath>
#include <random>

// A photo-like picture: a sky-to-grass gradient, soft coloured light and a little grain,
// so a palette has to follow smooth colour fields as in a real photo.
inline QImage PhotoLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(40, 90, 200));
    sky.setColorAt(0.6, QColor(230, 200, 160));
    sky.setColorAt(1, QColor(60, 110, 40));
    painter.fillRect(image.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    std::mt19937 random(3);
    for (int i = 0; i < 40; ++i) {
        QRadialGradient blob(random() % width, random() % height, 20 + random() % (height / 6));
        blob.setColorAt(0, QColor::fromHsv(int(random() % 360), 120 + int(random() % 120), 220));
        blob.setColorAt(1, Qt::transparent);
        painter.setBrush(blob);
        painter.drawRect(image.rect());
    }
    painter.end();
    std::normal_distribution<double> grain(0, 3);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int d = int(std::lround(grain(random)));
            line[x] = qRgb(qBound(0, qRed(line[x]) + d, 255), qBound(0, qGreen(line[x]) + d, 255),
                           qBound(0, qBlue(line[x]) + d, 255));
        }
    }
    return image;
}

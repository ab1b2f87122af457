// SPDX-License-Identifier: MIT
#include "ui/cursor_file.h"

#include "util/vb_error.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

namespace {

// An icon directory entry with type 2 (cursor) keeps the hot spot where an icon keeps
// its planes and bit count.
QPoint HotSpot(const QByteArray& bytes, int type) {
    if (type != 2 || bytes.size() < 22) {
        return {-1, -1};
    }
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    return {qFromLittleEndian<quint16>(data + 10), qFromLittleEndian<quint16>(data + 12)};
}

}  // namespace

QCursor LoadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Raise(vberr::kFileNotFound);
    }
    QByteArray bytes = file.readAll();
    if (bytes.size() < 6) {
        Raise(vberr::kInvalidPicture);
    }
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const int type = qFromLittleEndian<quint16>(data + 2);
    if (qFromLittleEndian<quint16>(data) != 0 || (type != 1 && type != 2)) {
        Raise(vberr::kInvalidPicture);
    }
    const QPoint hot = HotSpot(bytes, type);
    // The icon reader only knows type 1; the image data of both is the same.
    QByteArray asIcon = bytes;
    asIcon[2] = 1;
    QImage image;
    if (!image.loadFromData(asIcon, "ICO") || image.isNull()) {
        Raise(vberr::kInvalidPicture);
    }
    return QCursor(QPixmap::fromImage(image), hot.x(), hot.y());
}

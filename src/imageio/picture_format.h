// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

// What a picture file holds, judged by its first bytes and never by its name: a name can
// lie, and a decoder picked by name would read content the caller never meant to accept.
enum class PictureFormat { Unknown, Jpeg, Bmp, Gif, Icon, Png, Tiff, Metafile };

PictureFormat SniffPictureFormat(const QByteArray& data);

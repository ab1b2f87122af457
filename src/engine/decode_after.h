// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class DecodeAhead;
struct LoadedPicture;

// Starts decoding the pictures of the entries after entry i (1-based, of `count`) that
// the loader reads straight from their sources; a PNG or TIFF source is read later from
// the converter's output, so it is neither waited for nor decoded ahead. `entryAt(j)`
// gives entry j's path and may throw (an entry removed meanwhile); the list may shrink
// while the run goes on, so entries past `liveCount()` are not asked for. Never throws:
// decoding ahead is only a head start and the load step reports every error itself.
void DecodeAfter(DecodeAhead& decoder, const std::function<QString(int)>& entryAt,
                 const std::function<int()>& liveCount, int i, int count) noexcept;

// The picture decoded ahead when the file is still the one decoded, else the file's
// picture; with `planes`, a JPEG, HEIC, HEIF or AVIF picture comes as its planes when they
// can hold it (LoadPictureOrPlanes). Throws what LoadPicture throws.
LoadedPicture LoadForStamping(DecodeAhead* decoder, const QString& path, bool planes);

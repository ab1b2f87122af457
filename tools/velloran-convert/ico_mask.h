// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

namespace velloran::convert {

// Clears the padding at the end of every row of each icon's AND mask, past the bytes the
// picture's width needs. Qt's icon writer fills those bytes from memory beyond its row
// buffer, so without this the same picture gave different files from run to run (and
// carried stray bytes of the process's memory). Bitmap icons only; PNG-compressed entries
// and anything that does not add up are left as they are.
void clearIcoMaskPadding(QByteArray& ico);

}  // namespace velloran::convert

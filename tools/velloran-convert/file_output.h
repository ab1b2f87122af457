// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace velloran::convert {

// Writes `data` as the file `path` names. A descriptor path (/proc/self/fd/N, inherited
// from the caller) is rewritten through that descriptor: the caller created the file and
// keeps it whole until it is done. Any other path is written by the program's result
// writer, as the window writes its copies: a new file created beside the name with
// O_CREAT | O_EXCL | O_NOFOLLOW and renamed onto it, so on any failure the old file (or no
// file) stays and no temporary is left behind. A link of the user under the name is
// followed; a link of another user is refused.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error);

}  // namespace velloran::convert

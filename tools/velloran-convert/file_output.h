// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace velloran::convert {

// Writes `data` as the file `path` names, never through a link. A descriptor path
// (/proc/self/fd/N, inherited from the caller) is rewritten through that descriptor: the
// caller created the file and keeps it whole until it is done. Any other path is replaced
// through a new file created beside it with O_CREAT | O_EXCL | O_NOFOLLOW and renamed onto
// the name, so on any failure the old file (or no file) stays, no temporary is left
// behind, and a link under the name is replaced, not followed.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error);

}  // namespace velloran::convert

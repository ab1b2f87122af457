// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class ResultFile;

namespace velloran::convert {

// A file written in pieces as `path` names it. A descriptor path (/proc/self/fd/N,
// inherited from the caller) is rewritten through that descriptor: the caller created the
// file and keeps it whole until it is done. Any other path is written by the program's
// result writer, as the window writes its copies: a new file created beside the name with
// O_CREAT | O_EXCL | O_NOFOLLOW and renamed onto it by commit(), so on any failure (or
// without commit()) the old file, or no file, stays and no temporary is left behind. A
// link of the user under the name is followed; a link of another user is refused.
class OutputFile {
public:
    explicit OutputFile(QString path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file (or empties the inherited one); false with `error` when it cannot.
    bool open(QString* error);
    // Adds bytes at the end; false with `error` when they cannot be written.
    bool append(const char* data, qsizetype size, QString* error);
    // Puts the bytes on disk and, for a named file, renames it onto its name.
    bool commit(QString* error);

private:
    QString path_;
    int descriptor_ = -1;  // the inherited descriptor, or -1
    qint64 written_ = 0;
    std::unique_ptr<ResultFile> result_;
};

// Writes `data` as the file `path` names, all at once, as OutputFile does.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error);

}  // namespace velloran::convert

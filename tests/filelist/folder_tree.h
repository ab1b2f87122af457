// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

// Builds a real folder tree below root from short descriptions:
//   "a/b/"        folder (with its parents)
//   "a/x.jpg"     file (with its parents)
//   "a/up -> .."  symbolic link
//   "a/pipe|"     FIFO
// Returns false when any entry could not be made.
inline bool MakeTree(const QString& root, const QStringList& entries) {
    for (const QString& entry : entries) {
        const qsizetype arrow = entry.indexOf(QLatin1String(" -> "));
        const QString path = root + QLatin1Char('/') + (arrow >= 0 ? entry.left(arrow) : entry);
        const QString plain = path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('|'))
                                  ? path.chopped(1)
                                  : path;
        const QByteArray native = QFile::encodeName(plain);
        QDir().mkpath(plain.left(plain.lastIndexOf(QLatin1Char('/'))));
        bool ok = false;
        if (arrow >= 0) {
            ok = ::symlink(QFile::encodeName(entry.mid(arrow + 4)).constData(),
                           native.constData()) == 0;
        } else if (path.endsWith(QLatin1Char('/'))) {
            ok = QDir().mkpath(plain);
        } else if (path.endsWith(QLatin1Char('|'))) {
            ok = ::mkfifo(native.constData(), 0644) == 0;
        } else {
            QFile file(plain);
            ok = file.open(QIODevice::WriteOnly) && file.write("x") == 1;
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

// The entries of a folder collection relative to root ("" for root itself).
inline QStringList Relative(const QString& root, const QStringList& paths) {
    QStringList out;
    for (const QString& path : paths) {
        out << (path.startsWith(root + QLatin1Char('/')) ? path.mid(root.size() + 1) : path);
    }
    return out;
}

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>

// Lets the engine, which names files by Unicode text, stamp files whose names are not
// UTF-8 (Qt would turn those bytes into U+FFFD and miss the file):
// - such a source is read through a symbolic link with a UTF-8 name in the run's
//   private work folder;
// - an output folder that is not UTF-8 is reached through such a link too;
// - a copy whose own name is not UTF-8 is written under a stand-in name into a private
//   staging folder inside the output folder (same file system) and then renamed onto its
//   real name: one atomic rename, as for every copy.
// Everything it creates is removed by its destructor.
class OddNames {
public:
    // workFolder: the run's private folder (mode 0700, ours alone).
    OddNames(QString workFolder, QByteArray outputFolder);
    ~OddNames();
    OddNames(const OddNames&) = delete;
    OddNames& operator=(const OddNames&) = delete;

    // The output folder as the engine should name it.
    QString OutputFolder();
    // The path the engine reads for a source (its own when it is UTF-8). `position` makes
    // the stand-in unique. Throws std::runtime_error when the link cannot be made.
    QString SourcePath(const QByteArray& absoluteSource, int position);
    // True when the copy of this source needs a stand-in name.
    static bool NeedsStandIn(const QByteArray& outputName);
    // The folder the engine writes a stand-in copy into (the copy keeps the source's
    // decoded name there). Throws std::runtime_error.
    QString StandInFolder(int position);
    // Moves the finished stand-in copy onto its real name in the output folder and removes
    // its folder. Throws std::runtime_error with the reason.
    void PlaceStandIn(int position, const QString& standInName, const QByteArray& outputName);
    // Removes a stand-in folder with whatever a failed write left in it.
    void DropStandIn(int position);

private:
    QString Link(const QByteArray& target, const QString& name);

    std::mutex mutex_;
    QString workFolder_;
    QByteArray outputFolder_;
    QString outputLink_;
    QByteArray staging_;  // the staging folder's name inside the output folder
};

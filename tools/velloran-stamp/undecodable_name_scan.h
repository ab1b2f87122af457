// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The files of a folder scan whose names the window cannot show: Qt turns bytes that are
// not UTF-8 into U+FFFD, so the window's scan never lists such a file nor enters such a
// folder. Given the folders the window's scan collected (each ending with "/"), returns
// every openable file matching the pattern ("*.*" for all) that is either named by such
// bytes in one of those folders, or lies anywhere below a subfolder named by them. The
// window's own rules apply to the names ("~" names and writable dot-files are left out).
// Folder by folder, breadth first, each folder's names in byte order; a folder reached
// twice (through a link) is listed once.
std::vector<QByteArray> ScanUndecodableNames(const std::vector<QByteArray>& scannedFolders,
                                             const QString& pattern);

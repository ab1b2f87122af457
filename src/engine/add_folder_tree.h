// SPDX-License-Identifier: MIT
#pragma once

#include "engine/folder_scan.h"

#include <QString>
#include <QStringList>

#include <functional>

class ErrorTrap;

// Hands to `add`, folder by folder in collection order, every openable file whose
// name matches the pattern ("*.*" for all), each path passed through
// NormalizeBackslashes. Names beginning with "~" and writable dot-files (attribute
// value exactly 34) are left out. folders is a collection filled by
// GetSubDirectories2016 (every entry ends with "/"); `names` as it was given there.
//
// The statements run through the caller's trap with the labels firstLabel,
// firstLabel + 2, ... firstLabel + 10, so a file that fails is reported and the rest
// are still added. Calls `yield` at least every few tens of milliseconds, so a tree of
// many thousand files never freezes the window that passes its event loop.
void AddFolderTreeFiles(ErrorTrap& trap, int firstLabel, const QStringList& folders,
                        const QString& pattern, const std::function<void(const QString&)>& add,
                        const std::function<void()>& yield, NameBytes names = NameBytes::ShownOnly);

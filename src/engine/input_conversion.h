// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class ConverterProgress;
class ErrorTrap;

// Turns a PNG or TIFF source into the temporary JPEG that the picture loader reads,
// through the converter. Its seven statements carry the labels firstLabel,
// firstLabel + 2, ... firstLabel + 14 in the caller's error trap. Returns the path to
// load, or "" when the conversion failed (the failure has been reported). The wait shows
// on `progress` as one of `fileCount()` files (asked when the converter starts).
QString ConvertForLoading(ConverterProgress& progress, const std::function<int()>& fileCount,
                          ErrorTrap& trap, int firstLabel, const QString& source,
                          const QString& tempFolder);

// True for the extensions the picture loader gets through the converter.
bool NeedsInputConversion(const QString& lowerExtension);

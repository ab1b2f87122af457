// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class ErrorTrap;
class Form1;

// Turns a PNG or TIFF source into the temporary JPEG that the picture loader reads,
// through the converter. Its seven statements carry the labels firstLabel,
// firstLabel + 2, ... firstLabel + 14 in the caller's error trap. Returns the path to
// load, or "" when the conversion failed (the failure has been reported).
QString ConvertForLoading(Form1& form, ErrorTrap& trap, int firstLabel, const QString& source,
                          const QString& tempFolder);

// True for the extensions the picture loader gets through the converter.
bool NeedsInputConversion(const QString& lowerExtension);

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QComboBox;

// Selects the entry whose text equals the text exactly. A drop-down list accepts only
// its own entries: any other text throws VbError 383 and leaves the selection alone.
void SelectComboText(QComboBox& combo, const QString& text);

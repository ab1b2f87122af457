// SPDX-License-Identifier: MIT
#include "ui/combo_text.h"

#include "util/vb_error.h"

#include <QComboBox>

void SelectComboText(QComboBox& combo, const QString& text) {
    const int index = combo.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        Raise(vberr::kPropertyReadOnly);
    }
    combo.setCurrentIndex(index);
}

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QProgressBar;

// Shows a text on a progress bar exactly as given, file names with "%" included.
// QProgressBar's format replaces "%p", "%v" and "%m" and (in Qt 6.4) knows no escape
// for "%": a "%%" shows as two. So an invisible WORD JOINER (U+2060) is put between a
// "%" and such a letter.
void SetProgressBarText(QProgressBar* bar, const QString& text);

// The text last given to SetProgressBarText, without the joiners.
QString ProgressBarText(const QProgressBar* bar);

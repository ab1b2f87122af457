// SPDX-License-Identifier: MIT
#include "ui/progress_bar_text.h"

#include <QProgressBar>
#include <QRegularExpression>

namespace {

constexpr QChar kWordJoiner(0x2060);

}  // namespace

void SetProgressBarText(QProgressBar* bar, const QString& text) {
    static const QRegularExpression placeholder(QStringLiteral("%(?=[pvm])"));
    bar->setFormat(QString(text).replace(placeholder, QStringLiteral("%") + kWordJoiner));
}

QString ProgressBarText(const QProgressBar* bar) {
    return bar->format().replace(QStringLiteral("%") + kWordJoiner, QStringLiteral("%"));
}

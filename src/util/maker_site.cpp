// SPDX-License-Identifier: MIT
#include "util/maker_site.h"

#include "util/dialogs.h"
#include "util/environment.h"

#include <QUrl>

#include <cmath>

void MaybeOpenMakerSite(const Environment& env, Dialogs& dialogs) {
    const int n = static_cast<int>(std::floor(env.random() * 100.0)) + 1;
    if (n == 7) {
        dialogs.openUrl(QUrl(QString::fromLatin1(kMakerSiteAddress)));
    }
}
